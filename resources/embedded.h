#pragma once
// Data compiled into the program: conversion tables, collation and delimiter
// lists, the interface-language table. Each is found by its name.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace yig::resources {

/// Returns the bytes of the embedded resource `name`, or nothing when the
/// program carries no resource of that name.
std::optional<std::span<const std::uint8_t>> find(std::string_view name);

/// Names of all embedded resources, in no particular order.
std::vector<std::string_view> names();

}  // namespace yig::resources
