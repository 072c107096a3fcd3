// What each typed document's reader expects where a value does not fit: the
// second value of json's "invalid type: {}, expected {}" and its kin
// (json/json_errors.h), written once for every document.
#pragma once

#include <string_view>

namespace orvex::documents::messages {

inline constexpr std::string_view kExpectedString = "a string";
inline constexpr std::string_view kExpectedSequence = "a sequence";
inline constexpr std::string_view kExpectedMap = "a map";
inline constexpr std::string_view kExpectedI32 = "i32";
inline constexpr std::string_view kExpectedF64 = "f64";

inline constexpr std::string_view kIntent = "struct Intent";
inline constexpr std::string_view kIntentLength = "struct Intent with 5 elements";
inline constexpr std::string_view kConstraint = "struct Constraint";
inline constexpr std::string_view kConstraintLength = "struct Constraint with 4 elements";
inline constexpr std::string_view kProposedAction = "struct ProposedAction";
inline constexpr std::string_view kProposedActionLength = "struct ProposedAction with 1 element";
inline constexpr std::string_view kState = "struct State";
inline constexpr std::string_view kStateLength = "struct State with 1 element";

inline constexpr std::string_view kProjectManifest = "struct ProjectManifest";
inline constexpr std::string_view kProjectManifestLength = "struct ProjectManifest with 2 elements";
inline constexpr std::string_view kModSurface = "struct ModSurface";
inline constexpr std::string_view kModSurfaceLength = "struct ModSurface with 2 elements";
inline constexpr std::string_view kWeightTable = "struct WeightTable";
inline constexpr std::string_view kWeightTableLength = "struct WeightTable with 2 elements";

}  // namespace orvex::documents::messages
