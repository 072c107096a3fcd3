// The text of a document's string field (an intent's id, a constraint's
// attribute, ...): a view into the document's own text when the string was
// written without escapes, which is nearly always, and a decoded copy of its
// own otherwise. Reading a document then copies none of its usual strings.
//
// LIFETIME: a FieldText made by the reader, and every document holding
// one, must not outlive the text it was decoded from. validate_intent_json
// decodes, judges and records within one call, while the caller's texts
// live; nothing keeps a decoded document beyond that.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace orvex::documents {

class FieldText {
 public:
  FieldText() = default;
  // An owned copy: values built outside the reader (tests, the tree
  // decoder of the fuzz oracles) carry no text that they depend on.
  FieldText(std::string owned) { decoded() = std::move(owned); }
  FieldText(const char* owned) : FieldText(std::string(owned)) {}

  // A string written without escapes, viewed where it stands in the
  // document's text (see LIFETIME above).
  static FieldText in_text(std::string_view in_text) {
    FieldText text;
    text.view_ = in_text;
    return text;
  }

  FieldText(FieldText&&) noexcept = default;
  FieldText& operator=(FieldText&&) noexcept = default;
  FieldText(const FieldText& other) { *this = other; }
  FieldText& operator=(const FieldText& other) {
    if (this == &other) return *this;
    if (other.owned_ == nullptr) {
      owned_.reset();
      view_ = other.view_;
    } else {
      decoded() = *other.owned_;
    }
    return *this;
  }

  // Returns an empty owned buffer that becomes the text, for the reader to
  // decode an escaped string (or write a value's compact text) into.
  std::string& decoded() {
    if (owned_ == nullptr) owned_ = std::make_unique<std::string>();
    owned_->clear();
    view_ = {};  // the owned text is read from owned_, which the caller still fills
    return *owned_;
  }

  std::string_view view() const { return owned_ == nullptr ? view_ : std::string_view(*owned_); }
  operator std::string_view() const { return view(); }
  std::size_t size() const { return view().size(); }

  // One overload per kind compared with, so that no comparison has two
  // equally good conversions to choose from.
  friend bool operator==(const FieldText& a, const FieldText& b) { return a.view() == b.view(); }
  friend bool operator==(const FieldText& a, std::string_view b) { return a.view() == b; }
  friend bool operator==(const FieldText& a, const char* b) { return a.view() == std::string_view(b); }

 private:
  // The owned text lives on the heap, where moving a FieldText (as vectors
  // do when they grow) leaves it in place; a std::string held inline could
  // carry its bytes along and leave a view behind. The usual FieldText owns
  // nothing and is as small as a view and a null pointer.
  std::string_view view_;
  std::unique_ptr<std::string> owned_;
};

}  // namespace orvex::documents
