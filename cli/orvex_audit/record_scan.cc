#include "orvex_audit/record_scan.h"

#include <string>

#include "common/fill_message.h"
#include "json/byte_scan.h"
#include "json/json_error.h"
#include "json/reader.h"
#include "orvex_audit/tool_texts.h"

namespace orvex::audit_tool {

namespace {

namespace m = messages;

// The byte under the cursor, or -1 at the end of the line.
int next_byte(const json::Reader& reader) { return reader.at_end() ? -1 : reader.peek(); }

// JSON whitespace; a line never holds a line feed or carriage return here,
// but the test stays the reader's own.
bool is_whitespace(int byte) { return byte >= 0 && json::is_json_whitespace(static_cast<unsigned char>(byte)); }

Failure not_json(std::string_view line, const json::JsonError& error) {
  const json::TextPosition position = json::position_of(line, error.offset);
  return Failure::ordinary(fill_message(m::kNotJson, {error.message, std::to_string(position.column)}));
}

// At the whitespace byte under the cursor, reported by its 1-based column.
Failure not_compact(const json::Reader& reader) {
  return Failure::ordinary(fill_message(m::kNotCompact, {std::to_string(reader.offset() + 1)}));
}

// A key is accepted only as the writer spells it: the bare name in quotes.
bool is_quoted_name(std::string_view raw_key, std::string_view name) {
  return raw_key.size() == name.size() + 2 && raw_key.front() == '"' && raw_key.back() == '"' &&
         raw_key.substr(1, name.size()) == name;
}

// Cursor at a value (or a key) of a line already known to be JSON; leaves
// the cursor past it and returns its text.
std::string_view take_value(json::Reader& reader, std::string_view line) {
  const std::size_t start = reader.offset();
  // Cannot fail: the whole line was checked before the walk began.
  [[maybe_unused]] const bool ok = reader.skip_value();
  return line.substr(start, reader.offset() - start);
}

}  // namespace

Result<RawMembers> scan_record(std::string_view line) {
  // First the whole line as JSON, checked by the rules by which the guard
  // reads its documents, so that a syntax error is reported in the reader's
  // own words and at the offending byte before any structure is judged.
  // Every record the guard writes passes: its values came through the same
  // reader and limits. Nothing is built, so memory does not grow with what
  // the line holds.
  {
    json::Reader whole(line);
    if (!whole.check_value() || !whole.finish()) return not_json(line, whole.error());
  }

  // The line is one JSON value with nothing but whitespace around it, so
  // below every key is a string, a colon follows it, and a comma or a
  // closing brace follows every member value.
  json::Reader reader(line);
  if (is_whitespace(next_byte(reader))) return not_compact(reader);
  if (next_byte(reader) != '{') return Failure::ordinary(std::string(m::kNotObject));
  reader.advance();

  RawMembers members;
  for (std::size_t i = 0; i < layout::kMemberCount; ++i) {
    const std::string_view name = layout::kNames[i];
    if (is_whitespace(next_byte(reader))) return not_compact(reader);
    if (next_byte(reader) == '}') return Failure::ordinary(fill_message(m::kMissingMember, {name}));
    const std::string_view key = take_value(reader, line);
    if (!is_quoted_name(key, name)) {
      return Failure::ordinary(fill_message(m::kWrongMember, {std::to_string(i + 1), key, name}));
    }
    if (is_whitespace(next_byte(reader))) return not_compact(reader);
    reader.advance();  // ':'
    if (is_whitespace(next_byte(reader))) return not_compact(reader);
    members[i] = take_value(reader, line);
    if (is_whitespace(next_byte(reader))) return not_compact(reader);

    const bool last = i + 1 == layout::kMemberCount;
    const bool more = next_byte(reader) == ',';
    reader.advance();  // ',' or '}'
    if (more && last) {
      if (is_whitespace(next_byte(reader))) return not_compact(reader);
      const std::string_view extra = take_value(reader, line);
      return Failure::ordinary(fill_message(m::kExtraMember, {extra, name}));
    }
    if (!more && !last) return Failure::ordinary(fill_message(m::kMissingMember, {layout::kNames[i + 1]}));
  }
  if (!reader.at_end()) return not_compact(reader);
  return members;
}

}  // namespace orvex::audit_tool
