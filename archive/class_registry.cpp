#include "archive/class_registry.h"

#include <algorithm>
#include <vector>

#include "base/exceptions.h"
#include "base/format.h"
#include "base/text.h"

namespace qel::archive {

namespace {

// Sorted by CompareText of the class names, so a lookup is one binary search.
std::vector<tRegisterRec>& Registry() {
  static std::vector<tRegisterRec> registry;
  return registry;
}

std::vector<tRegisterRec>::iterator LowerBound(std::string_view className) {
  auto& registry = Registry();
  return std::lower_bound(registry.begin(), registry.end(), className,
                          [](const tRegisterRec& rec, std::string_view name) {
                            return base::CompareText(rec.ClassName, name) < 0;
                          });
}

bool Matches(std::vector<tRegisterRec>::iterator it, std::string_view className) {
  return it != Registry().end() && base::CompareText(it->ClassName, className) == 0;
}

}  // namespace

void RegisterStreamClass(tRegisterRec rec) {
  if (rec.ClassName.empty() || rec.ClassName.size() > MaxStreamClassName) {
    throw base::EFilerError(base::Format("Invalid stream class name <%s>", {rec.ClassName}));
  }
  if (!rec.Create || !rec.Read || !rec.Write) {
    throw base::EFilerError(base::Format("Stream class <%s> lacks a constructor, reader or writer", {rec.ClassName}));
  }
  auto it = LowerBound(rec.ClassName);
  if (Matches(it, rec.ClassName)) {
    *it = std::move(rec);
  } else {
    Registry().insert(it, std::move(rec));
  }
}

bool UnregisterStreamClass(std::string_view className) {
  auto it = LowerBound(className);
  if (!Matches(it, className)) return false;
  Registry().erase(it);
  return true;
}

const tRegisterRec* FindStreamClass(std::string_view className) {
  auto it = LowerBound(className);
  return Matches(it, className) ? &*it : nullptr;
}

}  // namespace qel::archive
