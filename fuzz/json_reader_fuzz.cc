// The generic reader: errors are placed inside the text with a catalogue
// message, the lenient skipper accepts whatever the reader accepts, and the
// compact text of a value read reads back to the same value. Strings are
// held to plain byte-at-a-time decoding and escaping written here, against
// the reader's and the writer's word-at-a-time scans.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

#include "expected_texts.h"
#include "json/reader.h"
#include "json/utf8.h"
#include "json/writer.h"
#include "properties.h"

namespace orvex::fuzz {
namespace {

using json::JsonValue;
using json::NumberKind;
using json::Type;

bool holds_float(const JsonValue& v) {
  switch (v.type()) {
    case Type::Number: return v.number_kind() == NumberKind::Float;
    case Type::Array:
      for (const JsonValue& e : v.as_array()) {
        if (holds_float(e)) return true;
      }
      return false;
    case Type::Object:
      for (const json::Member& m : v.as_object()) {
        if (holds_float(m.value)) return true;
      }
      return false;
    default: return false;
  }
}

// Shortest round-trip digits read back by a reader that does not round
// correctly land within a few units in the last place.
bool nearly(double a, double b) {
  constexpr double kRelative = 1e-15;
  const double tolerance = std::fmax(std::fabs(a) * kRelative, 4 * std::numeric_limits<double>::denorm_min());
  return std::signbit(a) == std::signbit(b) && std::fabs(a - b) <= tolerance;
}

// Same shape, kinds, keys, strings and integers; floats nearly equal.
bool same_up_to_float_reading(const JsonValue& a, const JsonValue& b) {
  if (a.type() != b.type()) return false;
  switch (a.type()) {
    case Type::Null: return true;
    case Type::Boolean: return a.as_bool() == b.as_bool();
    case Type::String: return a.as_string() == b.as_string();
    case Type::Number:
      if (a.number_kind() != b.number_kind()) return false;
      switch (a.number_kind()) {
        case NumberKind::Unsigned: return a.as_unsigned() == b.as_unsigned();
        case NumberKind::Negative: return a.as_negative() == b.as_negative();
        case NumberKind::Float: return nearly(a.as_float(), b.as_float());
      }
      return false;
    case Type::Array: {
      const json::Array& x = a.as_array();
      const json::Array& y = b.as_array();
      if (x.size() != y.size()) return false;
      for (std::size_t i = 0; i < x.size(); ++i) {
        if (!same_up_to_float_reading(x[i], y[i])) return false;
      }
      return true;
    }
    case Type::Object: {
      const json::Object& x = a.as_object();
      const json::Object& y = b.as_object();
      if (x.size() != y.size()) return false;
      for (std::size_t i = 0; i < x.size(); ++i) {
        if (x[i].key != y[i].key || !same_up_to_float_reading(x[i].value, y[i].value)) return false;
      }
      return true;
    }
  }
  return false;
}

// Members strictly ascending by unsigned bytes at every depth.
bool keys_ascending(const JsonValue& v) {
  if (v.type() == Type::Array) {
    for (const JsonValue& e : v.as_array()) {
      if (!keys_ascending(e)) return false;
    }
  } else if (v.type() == Type::Object) {
    const json::Object& o = v.as_object();
    for (std::size_t i = 0; i < o.size(); ++i) {
      if (i > 0 && !(o[i - 1].key < o[i].key)) return false;
      if (!keys_ascending(o[i].value)) return false;
    }
  }
  return true;
}

void append_code_point(std::uint32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::uint32_t hex4(std::string_view s) {
  std::uint32_t v = 0;
  for (char c : s.substr(0, 4)) {
    v = v * 16 + static_cast<std::uint32_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
  }
  return v;
}

// The content of a well-formed string literal that starts at `at` (its
// opening quote), one byte at a time.
std::string decode_literal(std::string_view text, std::size_t at) {
  std::string out;
  for (std::size_t i = at + 1; text[i] != '"'; ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    const char e = text[++i];
    switch (e) {
      case 'b': out += '\b'; break;
      case 'f': out += '\f'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'u': {
        std::uint32_t unit = hex4(text.substr(i + 1));
        i += 4;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
          unit = 0x10000 + ((unit - 0xD800) << 10) + (hex4(text.substr(i + 3)) - 0xDC00);
          i += 6;
        }
        append_code_point(unit, out);
        break;
      }
      default: out += e; break;  // " \ /
    }
  }
  return out;
}

// A string as the compact writer must write it, one byte at a time.
std::string escape_plainly(std::string_view s) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\f': out += "\\f"; break;
      case '\r': out += "\\r"; break;
      default:
        if (c < 0x20) {
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 0x0F];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
  return out;
}

// Every key and string value of `v` is written as plain escaping says.
void check_string_writing(std::string_view text, const JsonValue& v) {
  const auto check = [&](const std::string& s) {
    std::string written;
    json::write_string(s, written);
    ORVEX_FUZZ_REQUIRE(written == escape_plainly(s), text, written);
  };
  if (v.type() == Type::String) check(v.as_string());
  if (v.type() == Type::Array) {
    for (const JsonValue& e : v.as_array()) check_string_writing(text, e);
  }
  if (v.type() == Type::Object) {
    for (const json::Member& m : v.as_object()) {
      check(m.key);
      check_string_writing(text, m.value);
    }
  }
}

void check_read(std::string_view text) {
  const Result<JsonValue> read = json::read_json(text);

  json::Reader skipper(text);
  const bool skipped = skipper.skip_value() && skipper.finish();
  if (!skipped) {
    check_syntax_error(text, place_error(text, skipper.error_text()));
    ORVEX_FUZZ_REQUIRE(!read.ok(), text, skipper.error_text());
  }
  if (!read.ok()) {
    check_syntax_error(text, place_error(text, read.failure().message));
    return;
  }

  const JsonValue& value = read.value();
  ORVEX_FUZZ_REQUIRE(keys_ascending(value), text, json::write_compact(value));
  check_string_writing(text, value);
  if (value.type() == Type::String) {
    const std::size_t quote = text.find('"');
    ORVEX_FUZZ_REQUIRE(value.as_string() == decode_literal(text, quote), text, value.as_string());
  }
  const std::string compact = json::write_compact(value);
  if (json::is_valid_utf8(text)) ORVEX_FUZZ_REQUIRE(json::is_valid_utf8(compact), text, compact);

  const Result<JsonValue> reread = json::read_json(compact);
  ORVEX_FUZZ_REQUIRE(reread.ok(), text, reread.ok() ? compact : reread.failure().message);
  if (holds_float(value)) {
    ORVEX_FUZZ_REQUIRE(same_up_to_float_reading(value, reread.value()), text, compact);
  } else {
    ORVEX_FUZZ_REQUIRE(json::write_compact(reread.value()) == compact, text, compact);
  }

  std::string longer(text);
  longer += 'x';
  const Result<JsonValue> refused = json::read_json(longer);
  ORVEX_FUZZ_REQUIRE(!refused.ok(), longer, "accepted with a byte after the value");
  const PlacedError e = place_error(longer, refused.failure().message);
  ORVEX_FUZZ_REQUIRE(e.message == expected::kTrailingCharacters && e.offset == longer.size(), longer,
                     refused.failure().message);
}

}  // namespace
}  // namespace orvex::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  orvex::fuzz::check_read(orvex::fuzz::as_text(data, size));
  return 0;
}
