// The writing component, derived from the reading one. Only the parts the reading side
// depends on exist: its multi-volume settings and the accessors it overrides. Its writing
// operations are not part of this program.
#pragma once

#include <memory>
#include <string>

#include "archive/unzip.h"
#include "base/object.h"

namespace qel::archive {

// Settings of archives written across several volumes.
class TMultiZipInfo final : public base::TPersistent {
 public:
  const char* ClassName() const noexcept override { return "TMultiZipInfo"; }
  void Assign(const base::TPersistent& source) override;

  TMultiMode MultiMode = TMultiMode::mmNone;
  bool CheckDiskLabels = true;

 protected:
  void AssignTo(base::TPersistent& target) const override;
};

class TZip final : public TUnZip {
 public:
  explicit TZip(base::TObject* owner = nullptr);
  const char* ClassName() const noexcept override { return "TZip"; }

  // The writer would first save comment changes still pending; with nothing written by this
  // program there is nothing pending, so naming another archive is the reader's.
  void SetZipName(const std::string& value) override;

  bool CheckDiskLabels() const override { return FMultiZipInfo->CheckDiskLabels; }
  void SetCheckDiskLabels(bool value) override { FMultiZipInfo->CheckDiskLabels = value; }
  TMultiMode MultiMode() const override { return FMultiZipInfo->MultiMode; }
  void SetMultiMode(TMultiMode value) override { FMultiZipInfo->MultiMode = value; }

  TMultiZipInfo& MultiZipInfo() { return *FMultiZipInfo; }

 private:
  std::unique_ptr<TMultiZipInfo> FMultiZipInfo;
};

}  // namespace qel::archive
