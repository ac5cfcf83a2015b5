#include "archive/zip.h"

namespace qel::archive {

void TMultiZipInfo::Assign(const base::TPersistent& source) {
  if (const auto* info = dynamic_cast<const TMultiZipInfo*>(&source)) {
    MultiMode = info->MultiMode;
    CheckDiskLabels = info->CheckDiskLabels;
    return;
  }
  base::TPersistent::Assign(source);
}

void TMultiZipInfo::AssignTo(base::TPersistent& target) const {
  if (auto* info = dynamic_cast<TMultiZipInfo*>(&target)) {
    info->Assign(*this);
    return;
  }
  base::TPersistent::AssignTo(target);
}

TZip::TZip(base::TObject* owner) : TUnZip(owner), FMultiZipInfo(std::make_unique<TMultiZipInfo>()) {}

void TZip::SetZipName(const std::string& value) { TUnZip::SetZipName(value); }

}  // namespace qel::archive
