#pragma once

#include <source_location>
#include <string>

#include <windows.h>

namespace velmo {

// Writes a line to the log stream and to standard output; needs an open log stream.
void logLine(const std::string& line);
// Closes the log stream if one is open, noting it in the log first.
void closeLog();

// The one check of the results of Direct3D and D3DX calls for the whole engine and demo: the
// text of a failed result is looked up and dropped, as the platform convention asks, and the
// caller goes on whatever the call returned. In the test builds (VELMO_GL_CHECK or
// VELMO_SANITIZE) it also writes the place of the call, the text and the code to standard
// error, once for each place and code, so that a failed call shows in the tests' output.
void lookUp(HRESULT hr, std::source_location call = std::source_location::current());

// The numbers of the fatal-error check sites, one name for each check.
namespace fatal {
// Render targets.
inline constexpr int kRenderTargetCreatedTwice = 52;
inline constexpr int kRenderTargetBegunBeforeCreated = 113;
inline constexpr int kRenderTargetBegunWhileActive = 118;
inline constexpr int kRenderTargetEndedWhileInactive = 160;
// Meshes.
inline constexpr int kGeometryCopiedFromEmptyMesh = 117;
inline constexpr int kEmptyMeshDrawn = 141;
inline constexpr int kGeometryOfEmptyMeshRead = 166;
inline constexpr int kEmptyMeshPrepared = 202;
// Subdivision.
inline constexpr int kAdjacencyEntryFull = 188;
inline constexpr int kCornerEdgesShareNoVertex = 230;
// A face the pass cannot split (an edge or a corner that the source does not list): no number of
// its own was given to this check, so it reports the corner check's 230.
inline constexpr int kFaceNotInSource = kCornerEdgesShareNoVertex;
// Face vertices at upload.
inline constexpr int kFaceVertexMissingAtUpload = 320;
} // namespace fatal

// Reports a failed internal consistency check in a modal box numbered by its check site (one
// of the numbers above); returns when the user has closed the box, and the caller carries on.
void fatalError(int number);

} // namespace velmo
