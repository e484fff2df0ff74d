#pragma once
// Module resources: binary data embedded in a module and found by module
// handle, type and id. A module publishes its table through the exported C
// symbol "QOM_resourceTable" (see QOM_RESOURCE_TABLE below).
#include <cstddef>
#include <cstdint>

#include "platform/module.h"

namespace platform {

constexpr std::uint32_t kResourceTypeRcData = 10;  // RT_RCDATA

struct ResourceEntry {
  std::uint32_t type;
  std::uint32_t id;
  const unsigned char* data;
  std::size_t size;
};

struct ResourceTable {
  const ResourceEntry* entries;
  std::size_t count;
};

struct ResourceData {
  const unsigned char* data = nullptr;
  std::size_t size = 0;
  explicit operator bool() const { return data != nullptr; }
};

// Finds a resource of the module (0 = main executable, which must be linked
// with exported symbols, e.g. -rdynamic, for its table to be seen). Only a
// table the module defines itself counts, not one of a library it links
// against. Empty result when the module has no table or no such entry.
ResourceData findResource(ModuleHandle module, std::uint32_t type, std::uint32_t id);

}  // namespace platform

// Publishes a module's resource table; use once per module at namespace scope,
// e.g. QOM_RESOURCE_TABLE({kEntries, std::size(kEntries)}). Variadic so that a
// braced initializer holding commas passes through whole.
// Protected rather than default visibility: every module exports this same
// name, and references from inside a module (the address sanitizer's global
// registration among them) must bind to the module's own table, not to the
// executable's.
#define QOM_RESOURCE_TABLE(...)                                                    \
  extern "C" __attribute__((visibility("protected"))) const platform::ResourceTable \
      QOM_resourceTable = __VA_ARGS__
