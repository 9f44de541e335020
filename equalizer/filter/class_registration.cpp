#include "equalizer/filter/class_registration.h"

namespace kestrun::equalizer {
namespace {

constexpr wchar_t kClassKeyPrefix[] = L"CLSID\\";
constexpr wchar_t kInprocServerKey[] = L"\\InprocServer32";
constexpr wchar_t kThreadingModelValue[] = L"ThreadingModel";
constexpr wchar_t kThreadingModel[] = L"Both";

bool Failed(RegistrationResult result) { return result < 0; }

bool IsAbsent(RegistrationResult result) {
  return result == kRegistrationFileNotFound || result == kRegistrationPathNotFound;
}

RegistrationResult WriteClass(ClassRegistry& registry, ClassScope scope, const ServerClass& serverClass,
                              const std::wstring& modulePath) {
  const std::wstring classKey = ClassKeyPath(serverClass.clsid);
  const std::wstring serverKey = classKey + kInprocServerKey;
  RegistrationResult result = registry.SetString(scope, classKey, L"", serverClass.name);
  if (!Failed(result)) result = registry.SetString(scope, serverKey, L"", modulePath);
  if (!Failed(result)) result = registry.SetString(scope, serverKey, kThreadingModelValue, kThreadingModel);
  return result;
}

RegistrationResult WriteClasses(ClassRegistry& registry, ClassScope scope, const ServerModule& module) {
  for (const ServerClass& serverClass : module.classes) {
    const RegistrationResult result = WriteClass(registry, scope, serverClass, module.path);
    if (Failed(result)) return result;
  }
  return kRegistrationOk;
}

// Removes the filter entry and every class key of one scope; absent parts are fine.
// Goes on after a failure, so as much as may be removed is, and returns the first.
RegistrationResult RemoveAll(ClassRegistry& registry, ClassScope scope, const ServerModule& module) {
  RegistrationResult first = registry.WriteFilterEntry(scope, false);
  if (IsAbsent(first)) first = kRegistrationOk;
  for (const ServerClass& serverClass : module.classes) {
    RegistrationResult result = registry.DeleteTree(scope, ClassKeyPath(serverClass.clsid));
    if (IsAbsent(result)) result = kRegistrationOk;
    if (!Failed(first)) first = result;
  }
  return first;
}

}  // namespace

std::wstring ClassKeyPath(const std::wstring& clsid) { return kClassKeyPrefix + clsid; }

RegistrationResult RegisterServer(ClassRegistry& registry, const ServerModule& module, RegistrationPlace place,
                                  ClassScope* landed) {
  if (place == RegistrationPlace::MachineOrUser) {
    RegistrationResult result = WriteClasses(registry, ClassScope::Machine, module);
    if (!Failed(result)) {
      // The user's classes win over the machine's for this user: an old per-user
      // registration (of a copy elsewhere) would hide this one. It goes before the
      // filter entry is written, as a write through the merged view could land in it.
      RemoveAll(registry, ClassScope::User, module);
      result = registry.WriteFilterEntry(ClassScope::Machine, true);
      if (!Failed(result)) {
        if (landed != nullptr) *landed = ClassScope::Machine;
        return result;
      }
    }
    if (result != kRegistrationAccessDenied) return result;
    // A standard account: whatever part did get written machine-wide goes again.
    RemoveAll(registry, ClassScope::Machine, module);
  }
  RegistrationResult result = WriteClasses(registry, ClassScope::User, module);
  if (!Failed(result)) result = registry.WriteFilterEntry(ClassScope::User, true);
  if (!Failed(result) && landed != nullptr) *landed = ClassScope::User;
  return result;
}

RegistrationResult UnregisterServer(ClassRegistry& registry, const ServerModule& module, RegistrationPlace place) {
  const RegistrationResult user = RemoveAll(registry, ClassScope::User, module);
  if (place == RegistrationPlace::UserOnly) return user;
  const RegistrationResult machine = RemoveAll(registry, ClassScope::Machine, module);
  return Failed(user) ? user : machine;
}

}  // namespace kestrun::equalizer
