#include "module/names.h"

#include <string_view>

namespace orvex::module {
namespace {

constexpr std::string_view kTexts[] = {"__all__", "__name__", "__qualname__"};

// Filled on first use and never released; only touched under the
// interpreter lock.
PyObject* cache[std::size(kTexts)] = {};

}  // namespace

PyObject* interned(Name name) {
  const auto index = static_cast<std::size_t>(name);
  if (cache[index] == nullptr) {
    const std::string_view text = kTexts[index];
    PyObject* made = PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
    if (made == nullptr) return nullptr;
    PyUnicode_InternInPlace(&made);
    cache[index] = made;
  }
  return cache[index];
}

}  // namespace orvex::module
