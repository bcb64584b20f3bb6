// How one object gets shaded: the material's effect bound with every parameter the solid
// object effect reads (material colours scaled by the scene's factors, textures, blending,
// the directional light and the frame's point lights, the node's transforms and motion
// matrix), and the scene's further targets bound as render targets 1 to 3 while it draws.
#pragma once

#include <d3dx9math.h>

namespace velmo {

class INode;
class MatrixStack;
class MeshInstance;

// The effect file and technique drawn with when a material leaves them empty.
inline constexpr const char* kDefaultEffectFile = "SolidObject.fxo";
inline constexpr const char* kDefaultTechnique = "SolidObject";
// The point-light array of the effect holds this many entries; "pointLight[0]" to
// "pointLight[9]". Further lights of a scene are not sent.
inline constexpr int kMaxPointLights = 10;

// Sets the transforms of the stack's shader for node: world = node's local transform times
// the top of the stack (the local transform alone on an empty stack), its inverse, the
// world-view-projection and its inverse, world-view, the camera's view-projection, the
// node path's motion matrix ("velocityTransform"), and the cull mode that keeps front faces
// front under a mirroring transform. The stack's scene must have a camera.
void setShaderTransforms(INode* node, MatrixStack* stack);

// Makes a shader on the instance's material (with the default file and technique for empty
// names) the stack's shader, sends its parameters, binds the scene's further targets, sets
// the blend and depth states and begins pass 0.
void beginMaterialShader(MeshInstance* instance, MatrixStack* stack);

// Ends pass 0 and the effect, unbinds the further targets and frees the shader.
void endMaterialShader(MatrixStack* stack);

// The determinant of the upper-left 3 x 3 block: negative for a mirroring transform.
float upperDeterminant(const D3DXMATRIX& m);

} // namespace velmo
