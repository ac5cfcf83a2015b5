// Copying between persistent objects: the target asks the source to copy itself.
#include "base/exceptions.h"
#include "base/format.h"
#include "base/object.h"

namespace qel::base {

void TPersistent::Assign(const TPersistent& source) { source.AssignTo(*this); }

void TPersistent::AssignTo(TPersistent& target) const { target.AssignError(this); }

void TPersistent::AssignError(const TPersistent* source) const {
  const char* sourceName = source != nullptr ? source->ClassName() : "nil";
  throw EConvertError(Format("Cannot assign a %s to a %s", {sourceName, ClassName()}));
}

}  // namespace qel::base
