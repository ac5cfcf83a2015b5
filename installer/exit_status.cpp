#include "installer/exit_status.h"

#include "archive/unzip_errors.h"
#include "base/exceptions.h"
#include "installer/registry_cursor.h"
#include "platform/files.h"

namespace qel::installer {

namespace {
TExitStatus ByCode(std::uint32_t code) {
  return code == platform::ErrorAccessDenied ? TExitStatus::esNoRights : TExitStatus::esWriteFailed;
}
}  // namespace

TExitStatus StatusOfError(const std::exception_ptr& error, TExitStatus otherwise) {
  try {
    std::rethrow_exception(error);
  } catch (const archive::EFatalUnzipError&) {
    return TExitStatus::esBadImage;
  } catch (const archive::EIncompleteZip&) {
    return TExitStatus::esBadImage;
  } catch (const archive::EUserCanceled&) {
    return TExitStatus::esCancelled;
  } catch (const ERegistryException&) {
    // A hive refuses a key or a value to a user without administrator rights.
    return TExitStatus::esNoRights;
  } catch (const base::EInOutError& failure) {
    return ByCode(static_cast<std::uint32_t>(failure.ErrorCode));
  } catch (const base::EFCreateError&) {
    // These carry only the system's text: its code is still the last error, read first thing
    // by the caller's handler.
    return ByCode(platform::LastErrorCode());
  } catch (const base::EWriteError&) {
    return ByCode(platform::LastErrorCode());
  } catch (...) {
  }
  return otherwise;
}

const char* StatusText(TExitStatus status) {
  switch (status) {
    case TExitStatus::esDone: return "done";
    case TExitStatus::esCancelled: return "cancelled";
    case TExitStatus::esBadImage: return "the image is missing or damaged";
    case TExitStatus::esNoRights: return "not enough rights";
    case TExitStatus::esWriteFailed: return "a file could not be written";
    case TExitStatus::esRolledBack: return "rolled back after an error";
  }
  return "unknown";
}

std::string ErrorText(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& failure) {
    return failure.what();
  } catch (...) {
    return "Unknown error";
  }
}

}  // namespace qel::installer
