// The writer and orvex-audit's verifier against the one record layout: the
// record line and the signed text hold the layout's members in its orders,
// the verifier reads the writer's line member by member, and a line with
// any two neighbouring members swapped is refused at the first of them.
#include "audit/record_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "audit/record_text.h"
#include "json/reader.h"
#include "orvex_audit/record_scan.h"

namespace orvex::audit {
namespace {

namespace layout = record_layout;

struct MemberText {
  std::string name;   // without its quotes
  std::string whole;  // "name":value, as it stands in the text
  std::string value;
};

// The top-level members of a compact object, in the order written.
// REQUIRES: `object` is a compact JSON object with bare member names.
std::vector<MemberText> members_of(std::string_view object) {
  std::vector<MemberText> members;
  json::Reader reader(object);
  reader.advance();  // '{'
  while (!reader.at_end() && reader.peek() != '}') {
    const std::size_t start = reader.offset();
    EXPECT_TRUE(reader.skip_value());
    const std::size_t name_end = reader.offset();
    reader.advance();  // ':'
    const std::size_t value_start = reader.offset();
    EXPECT_TRUE(reader.skip_value());
    const std::size_t end = reader.offset();
    members.push_back({std::string(object.substr(start + 1, name_end - start - 2)),
                       std::string(object.substr(start, end - start)),
                       std::string(object.substr(value_start, end - value_start))});
    if (!reader.at_end() && reader.peek() == ',') reader.advance();
  }
  return members;
}

std::vector<std::string> names_of(const std::vector<MemberText>& members) {
  std::vector<std::string> names;
  for (const MemberText& member : members) names.push_back(member.name);
  return names;
}

documents::Intent example_intent() {
  documents::Intent intent;
  intent.id = "intent-7";
  intent.objective = "Pay the invoice";
  intent.mode = "strict";
  intent.version = "2.0";
  return intent;
}

documents::ProposedAction example_action() {
  documents::ProposedAction action;
  action.params = json::make_object({{"amount", json::JsonValue::unsigned_integer(12)}});
  return action;
}

const std::vector<Verdict>& both_verdicts() {
  static const std::vector<Verdict> verdicts = {Verdict::allow(), Verdict::deny("Spend violation")};
  return verdicts;
}

constexpr std::string_view kTime = "2026-03-01T09:30:15.250+00:00";
// A key of 0xaa bytes and a signature of 0xbb bytes.
PublicKey filled_key() {
  PublicKey key;
  key.fill(0xaa);
  return key;
}
Signature filled_signature() {
  Signature signature;
  signature.fill(0xbb);
  return signature;
}

// The record line without its line feed.
std::string record_line(const Verdict& verdict) {
  std::string line =
      build_record_line(example_intent(), example_action(), verdict, kTime, filled_key(), filled_signature());
  EXPECT_EQ(line.back(), '\n');
  line.pop_back();
  return line;
}

TEST(RecordLayout, RecordLineHoldsEveryMemberInTheLayoutsOrder) {
  const std::vector<std::string> expected(layout::kNames.begin(), layout::kNames.end());
  for (const Verdict& verdict : both_verdicts()) {
    EXPECT_EQ(names_of(members_of(record_line(verdict))), expected);
  }
}

TEST(RecordLayout, SignedTextHoldsTheSignedMembersInAscendingByteOrder) {
  std::vector<std::string> signed_names;
  for (std::size_t i = 0; i < layout::kSignedCount; ++i) signed_names.emplace_back(layout::kNames[i]);
  std::sort(signed_names.begin(), signed_names.end());
  for (const Verdict& verdict : both_verdicts()) {
    const std::string text = build_signed_text(example_intent(), example_action(), verdict, kTime);
    EXPECT_EQ(names_of(members_of(text)), signed_names);
  }
}

TEST(RecordLayout, SignedTextAndRecordCarryTheSameValues) {
  for (const Verdict& verdict : both_verdicts()) {
    const std::vector<MemberText> record = members_of(record_line(verdict));
    const std::vector<MemberText> signed_members =
        members_of(build_signed_text(example_intent(), example_action(), verdict, kTime));
    ASSERT_EQ(signed_members.size(), layout::kSignedCount);
    for (const MemberText& member : signed_members) {
      const auto in_record = std::find_if(record.begin(), record.end(),
                                          [&](const MemberText& r) { return r.name == member.name; });
      ASSERT_NE(in_record, record.end()) << member.name;
      EXPECT_EQ(in_record->value, member.value) << member.name;
    }
  }
}

TEST(RecordLayout, VerifierReadsTheWritersLineMemberByMember) {
  for (const Verdict& verdict : both_verdicts()) {
    const std::string line = record_line(verdict);
    const Result<audit_tool::RawMembers> scanned = audit_tool::scan_record(line);
    ASSERT_TRUE(scanned.ok()) << scanned.failure().message;
    const std::vector<MemberText> written = members_of(line);
    ASSERT_EQ(written.size(), layout::kMemberCount);
    for (std::size_t i = 0; i < layout::kMemberCount; ++i) EXPECT_EQ(scanned.value()[i], written[i].value);
    EXPECT_EQ(scanned.value()[layout::kPublicKey], "\"" + std::string(2 * kPublicKeyBytes, 'a') + "\"");
    EXPECT_EQ(scanned.value()[layout::kSignature], "\"" + std::string(2 * kSignatureBytes, 'b') + "\"");
  }
}

TEST(RecordLayout, VerifierRefusesALineWithAnyTwoNeighboursSwapped) {
  const std::vector<MemberText> written = members_of(record_line(Verdict::deny("Spend violation")));
  ASSERT_EQ(written.size(), layout::kMemberCount);
  for (std::size_t i = 0; i + 1 < written.size(); ++i) {
    std::vector<MemberText> moved = written;
    std::swap(moved[i], moved[i + 1]);
    std::string line = "{";
    for (const MemberText& member : moved) line += (line.size() > 1 ? "," : "") + member.whole;
    line += '}';
    const Result<audit_tool::RawMembers> scanned = audit_tool::scan_record(line);
    ASSERT_FALSE(scanned.ok()) << line;
    EXPECT_EQ(scanned.failure().message, "member " + std::to_string(i + 1) + " is \"" + written[i + 1].name +
                                             "\" where \"" + written[i].name + "\" belongs");
  }
}

}  // namespace
}  // namespace orvex::audit
