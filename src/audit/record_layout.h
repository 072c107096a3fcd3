// What an audit record holds and in which order: the one description that
// the log's writer and orvex-audit's verifier both build from, so that a
// member renamed or moved here is renamed or moved in the record line, in
// the signed text and in the verification alike.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

namespace orvex::audit::record_layout {

// The record's members in the order the record line holds them. The members
// before kPublicKey are the ones the signature covers; the key and the
// signature close the line.
enum Member : std::size_t {
  kTimestamp,
  kIntentId,
  kObjective,
  kMode,
  kVersion,
  kActionParams,
  kResult,
  kReason,
  kPublicKey,
  kSignature,
  kMemberCount
};
inline constexpr std::size_t kSignedCount = kPublicKey;
static_assert(kSignature == kPublicKey + 1 && kMemberCount == kSignature + 1,
              "the public key and the signature close the record");

// The members' names, indexed by Member.
inline constexpr std::array<std::string_view, kMemberCount> kNames = {
    "timestamp", "intent_id", "objective", "mode",       "version",
    "action_params", "result", "reason",   "public_key", "signature"};

// The signed members in the order of the signed text: ascending byte order
// of their names, so that a renamed member takes its new place by itself.
inline constexpr std::array<Member, kSignedCount> kSignedOrder = [] {
  std::array<Member, kSignedCount> order{};
  for (std::size_t i = 0; i < kSignedCount; ++i) order[i] = static_cast<Member>(i);
  std::sort(order.begin(), order.end(), [](Member a, Member b) { return kNames[a] < kNames[b]; });
  return order;
}();

// The two values of "result".
inline constexpr std::string_view kResultPass = "PASS";
inline constexpr std::string_view kResultFail = "FAIL";

namespace detail {

// Names are written between quotes as they stand and the verifier matches
// them the same way, so none may need an escape; and no two may be alike,
// or a record would repeat a member.
constexpr bool names_are_bare_and_distinct() {
  for (std::size_t i = 0; i < kMemberCount; ++i) {
    if (kNames[i].empty()) return false;
    for (const char c : kNames[i]) {
      if (c < 0x20 || c > 0x7e || c == '"' || c == '\\') return false;
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (kNames[i] == kNames[j]) return false;
    }
  }
  return true;
}

}  // namespace detail

static_assert(detail::names_are_bare_and_distinct());

}  // namespace orvex::audit::record_layout
