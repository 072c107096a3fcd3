#include "module/binding.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/fill_message.h"
#include "module/boundary_errors.h"
#include "module/object_text.h"

namespace orvex::module {
namespace {


PendingError type_error(std::string message) {
  return PendingError::deferred(PyExc_TypeError, std::move(message));
}

std::string display_name(const Signature& signature) {
  return std::string(signature.function_name) + "()";
}

// 'x' / 'x' and 'y' / 'x', 'y', and 'z': a comma joins the names only when
// there are more than two, and " and " comes before the last one.
std::string quoted_name_list(const std::vector<std::string_view>& names) {
  std::string out;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) {
      if (names.size() > 2) out += ',';
      out += i + 1 == names.size() ? " and " : " ";
    }
    out += '\'';
    out += names[i];
    out += '\'';
  }
  return out;
}

// The index of the parameter that keyword `key` names, or nothing for a key
// that is not a str, cannot be encoded, or matches no name byte for byte.
std::optional<std::size_t> parameter_index(const Signature& signature, PyObject* key) {
  if (!is_str(key)) return std::nullopt;
  const std::optional<std::string> text = strict_text(key);
  if (!text) return std::nullopt;
  for (std::size_t i = 0; i < signature.parameters.size(); ++i) {
    if (signature.parameters[i] == *text) return i;
  }
  return std::nullopt;
}

// The type check and strict UTF-8 encoding of one argument.
Result<OwnedText, PendingError> convert_argument(PyObject* object) {
  if (!is_str(object)) {
    return type_error(
        fill_message(messages::kCannotConvertToStr, {qualified_type_name(object)}));
  }
  PyRef bytes = PyRef::steal(PyUnicode_AsUTF8String(object));
  if (!bytes) return PendingError::fetch();
  return OwnedText(std::move(bytes));
}

// Names the parameter in a conversion TypeError; any other failure (such as
// the encoder's UnicodeEncodeError) reaches the caller unchanged.
PendingError name_argument(std::string_view parameter, PendingError error) {
  if (!error.has_exact_type(PyExc_TypeError)) return error;
  std::string text = fill_message(messages::kArgumentWrapper, {parameter, error.text()});
  PyRef cause = error.cause();
  if (!cause) return type_error(std::move(text));
  return PendingError::with_cause(PyExc_TypeError, text, std::move(cause));
}

}  // namespace

Result<BoundTexts, PendingError> bind_arguments(const Signature& signature, PyObject* args, PyObject* kwargs) {
  const std::size_t count = signature.parameters.size();
  const auto given = static_cast<std::size_t>(PyTuple_Size(args));
  if (given > count) {
    return type_error(fill_message(messages::kTooManyPositional,
                                   {display_name(signature), std::to_string(count), std::to_string(given)}));
  }
  // Strong references: the conversions below may run the caller's code
  // (a metaclass's __qualname__), which must not be able to free an argument.
  std::array<PyRef, kMaxParameters> slots;
  for (std::size_t i = 0; i < given; ++i) {
    slots[i] = PyRef::borrow(PyTuple_GetItem(args, static_cast<Py_ssize_t>(i)));
  }

  if (kwargs != nullptr) {
    Py_ssize_t position = 0;
    PyObject* key = nullptr;
    PyObject* value = nullptr;
    while (PyDict_Next(kwargs, &position, &key, &value)) {
      const std::optional<std::size_t> index = parameter_index(signature, key);
      if (!index) {
        return type_error(
            fill_message(messages::kUnexpectedKeyword, {display_name(signature), string_form(key)}));
      }
      if (slots[*index]) {
        return type_error(fill_message(messages::kMultipleValues,
                                       {display_name(signature), signature.parameters[*index]}));
      }
      slots[*index] = PyRef::borrow(value);
    }
  }

  std::vector<std::string_view> missing;
  for (std::size_t i = 0; i < count; ++i) {
    if (!slots[i]) missing.push_back(signature.parameters[i]);
  }
  if (!missing.empty()) {
    const std::string names = quoted_name_list(missing);
    if (missing.size() == 1) {
      return type_error(fill_message(messages::kMissingArgument, {display_name(signature), names}));
    }
    return type_error(
        fill_message(messages::kMissingArguments, {display_name(signature), std::to_string(missing.size()), names}));
  }

  BoundTexts texts;
  for (std::size_t i = 0; i < count; ++i) {
    Result<OwnedText, PendingError> text = convert_argument(slots[i].get());
    if (!text.ok()) return name_argument(signature.parameters[i], std::move(text).failure());
    texts.push(std::move(text).value());
  }
  return texts;
}

}  // namespace orvex::module
