#pragma once
// The saved properties of a control: a name -> text map with typed read and write helpers.
// A missing or unreadable value gives the caller's default.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace pellarin {

class PropertyBag {
 public:
  bool contains(std::string_view name) const;
  std::size_t size() const { return values_.size(); }

  std::int64_t readInt(std::string_view name, std::int64_t defaultValue) const;
  double readDouble(std::string_view name, double defaultValue) const;
  std::string readString(std::string_view name, std::string_view defaultValue) const;

  void writeInt(std::string_view name, std::int64_t value);
  void writeDouble(std::string_view name, double value);
  void writeString(std::string_view name, std::string_view value);

 private:
  std::optional<std::string> find(std::string_view name) const;
  std::map<std::string, std::string, std::less<>> values_;
};

}  // namespace pellarin
