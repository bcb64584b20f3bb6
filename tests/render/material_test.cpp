// Materials: the defaults a mesh instance starts from, colour setters, names kept as given,
// and copies that own their colours and names but share the textures.
#include <gtest/gtest.h>

#include "engine/render/material.h"
#include "engine/resources/texture.h"

namespace {

using velmo::Material;

TEST(Material, StartsFromTheDefaults) {
    const Material m;
    EXPECT_EQ(m.ambient, D3DXVECTOR4(0.1f, 0.1f, 0.1f, 1.0f));
    EXPECT_EQ(m.diffuse, D3DXVECTOR4(0.2f, 0.2f, 0.2f, 1.0f));
    EXPECT_EQ(m.specular, D3DXVECTOR4(1.0f, 1.0f, 1.0f, 1.0f));
    EXPECT_EQ(m.specularPower, 5.0f);
    EXPECT_EQ(m.lightBleed, 0.0f);
    EXPECT_TRUE(m.receivesDirectionalLight);
    EXPECT_EQ(m.texture, nullptr);
    EXPECT_EQ(m.normalMap, nullptr);
    EXPECT_EQ(m.bumpiness, 1.0f);
    EXPECT_TRUE(m.lit);
    EXPECT_EQ(m.blendMode, 0);
    EXPECT_EQ(m.blendFactor, 1.0f);
    EXPECT_EQ(m.limitIllumination, 0.0f);
    // Empty: whoever draws picks the solid-object effect and technique for them.
    EXPECT_EQ(m.getEffectFile(), "");
    EXPECT_EQ(m.getTechnique(), "");
}

TEST(Material, SettersCopyFourComponentsAndNamesAsGiven) {
    Material m;
    const float ambient[4] = {0.5f, 0.25f, 0.125f, 0.75f};
    const float diffuse[4] = {1.0f, 0.0f, 2.0f, 0.5f};
    const float specular[4] = {0.0f, 3.0f, 0.0f, 1.0f};
    m.setAmbient(ambient);
    m.setDiffuse(diffuse);
    m.setSpecular(specular);
    EXPECT_EQ(m.ambient, D3DXVECTOR4(ambient));
    EXPECT_EQ(m.diffuse, D3DXVECTOR4(diffuse));
    EXPECT_EQ(m.specular, D3DXVECTOR4(specular));
    // No colour behind the pointer: nothing changes.
    m.setAmbient(nullptr);
    EXPECT_EQ(m.ambient, D3DXVECTOR4(ambient));

    m.setTechnique("TwirlObject");
    m.effectFile = "Other.fxo";
    EXPECT_EQ(m.getTechnique(), "TwirlObject");
    EXPECT_EQ(m.getEffectFile(), "Other.fxo");
    m.setTechnique("");
    EXPECT_EQ(m.getTechnique(), "");
}

TEST(Material, CopiesOwnTheirColoursAndNamesButShareTheTextures) {
    velmo::Texture diffuseMap, bumps;
    Material source;
    source.texture = &diffuseMap;
    source.normalMap = &bumps;
    source.setTechnique("AlphaObject");
    source.blendMode = 2;
    source.lit = false;

    Material assigned;
    assigned.setTechnique("skybox");
    assigned = source;
    Material constructed(source);
    for (Material* copy : {&assigned, &constructed}) {
        EXPECT_EQ(copy->texture, &diffuseMap);
        EXPECT_EQ(copy->normalMap, &bumps);
        EXPECT_EQ(copy->getTechnique(), "AlphaObject");
        EXPECT_EQ(copy->blendMode, 2);
        EXPECT_FALSE(copy->lit);
        const float red[4] = {1, 0, 0, 1};
        copy->setDiffuse(red);
        copy->specularPower = 40.0f;
        copy->setTechnique("AdditiveObject");
    }
    EXPECT_EQ(source.diffuse, D3DXVECTOR4(0.2f, 0.2f, 0.2f, 1.0f));
    EXPECT_EQ(source.specularPower, 5.0f);
    EXPECT_EQ(source.getTechnique(), "AlphaObject");
    EXPECT_EQ(source.texture, &diffuseMap);
}

} // namespace
