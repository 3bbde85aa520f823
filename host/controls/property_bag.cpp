#include "host/controls/property_bag.h"

#include <charconv>

namespace pellarin {

bool PropertyBag::contains(std::string_view name) const {
  return values_.contains(name);
}

std::optional<std::string> PropertyBag::find(std::string_view name) const {
  const auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

std::int64_t PropertyBag::readInt(std::string_view name, std::int64_t defaultValue) const {
  const auto text = find(name);
  if (!text) return defaultValue;
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
  if (error != std::errc() || end != text->data() + text->size()) return defaultValue;
  return value;
}

double PropertyBag::readDouble(std::string_view name, double defaultValue) const {
  const auto text = find(name);
  if (!text || text->empty()) return defaultValue;
  double value = 0;
  const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
  if (error != std::errc() || end != text->data() + text->size()) return defaultValue;
  return value;
}

std::string PropertyBag::readString(std::string_view name, std::string_view defaultValue) const {
  const auto text = find(name);
  return text ? *text : std::string(defaultValue);
}

void PropertyBag::writeInt(std::string_view name, std::int64_t value) {
  values_[std::string(name)] = std::to_string(value);
}

void PropertyBag::writeDouble(std::string_view name, double value) {
  // Locale-free, shortest form that reads back to the same value.
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  values_[std::string(name)] = std::string(buffer, result.ptr);
}

void PropertyBag::writeString(std::string_view name, std::string_view value) {
  values_[std::string(name)] = std::string(value);
}

}  // namespace pellarin
