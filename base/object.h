// The root of the framework's classes, and persistent objects that can copy themselves.
#pragma once

namespace qel::base {

class TObject {
 public:
  virtual ~TObject() = default;
  // The class's own name, as error messages and the class registry of list streaming use it.
  virtual const char* ClassName() const noexcept { return "TObject"; }
};

class TPersistent : public TObject {
 public:
  const char* ClassName() const noexcept override { return "TPersistent"; }
  // Copies source into this object: the source's AssignTo unless this class overrides it.
  virtual void Assign(const TPersistent& source);

 protected:
  // Copies this object into target; the base raises EConvertError
  // "Cannot assign a <source class> to a <target class>".
  virtual void AssignTo(TPersistent& target) const;
  // Raises the EConvertError for copying source (nullptr: none) into this object.
  [[noreturn]] void AssignError(const TPersistent* source) const;
  friend class TPersistentAccess;
};

}  // namespace qel::base
