// Where the arrangement of "corvena (short version)" changes, in seconds of music. The demo's
// scenes switch at the same moments, so the music and the pictures change together. Every
// boundary lies on the 0.5 s beat grid (120 BPM).
#pragma once

namespace velmo::soundtrack {

inline constexpr double kBuildStart = 10.0; // end of the fade-in
inline constexpr double kKickIn = 26.0;     // a soft kick joins the build
inline constexpr double kTextStart = 42.0;  // four-on-the-floor under the first text lines
inline constexpr double kTension = 47.0;    // rising tension
inline constexpr double kCut = 52.0;        // the cut into the main groove
inline constexpr double kIntense1 = 76.5;   // first full-energy span
inline constexpr double kCalm = 102.5;      // calmer span
inline constexpr double kIntense2 = 114.0;  // second full-energy span
inline constexpr double kHarmonia = 128.5;  // bass-pulsed harmonic section
inline constexpr double kFinale = 155.0;    // finale
inline constexpr double kFadeOut = 217.0;   // fade-out (the demo ends here)

} // namespace velmo::soundtrack
