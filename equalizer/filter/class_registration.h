// Where Equalizer.ax registers its COM classes and its DirectShow filter entry: in
// the machine-wide class root when it may write there, otherwise in the user's own
// classes (HKCU\Software\Classes, which the system merges into the class root for
// that user). Portable: the registry is reached through ClassRegistry, so the
// choice can be tested against a class root that refuses machine-wide writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrun::equalizer {

// Results are HRESULT values (success is 0, failures negative).
using RegistrationResult = std::int32_t;
inline constexpr RegistrationResult kRegistrationOk = 0;
// HRESULT_FROM_WIN32 of ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND.
inline constexpr RegistrationResult kRegistrationAccessDenied = static_cast<RegistrationResult>(0x80070005u);
inline constexpr RegistrationResult kRegistrationFileNotFound = static_cast<RegistrationResult>(0x80070002u);
inline constexpr RegistrationResult kRegistrationPathNotFound = static_cast<RegistrationResult>(0x80070003u);

enum class ClassScope { Machine, User };

// The registry as registration needs it. Key paths are relative to the scope's
// class root ("CLSID\{...}").
class ClassRegistry {
 public:
  virtual ~ClassRegistry() = default;
  // Creates the key (and its parents) and sets one string value; an empty name is
  // the key's default value.
  virtual RegistrationResult SetString(ClassScope scope, const std::wstring& keyPath, const std::wstring& name,
                                       const std::wstring& value) = 0;
  // Deletes the key with everything below it; kRegistrationFileNotFound when absent.
  virtual RegistrationResult DeleteTree(ClassScope scope, const std::wstring& keyPath) = 0;
  // Writes (add) or removes the filter's entry in the DirectShow filter category of
  // the scope's class root. Removing an absent entry succeeds.
  virtual RegistrationResult WriteFilterEntry(ClassScope scope, bool add) = 0;
};

struct ServerClass {
  std::wstring clsid;  // registry text form, with braces
  std::wstring name;
};

struct ServerModule {
  std::wstring path;  // full path of the module the classes are served from
  std::vector<ServerClass> classes;
};

enum class RegistrationPlace {
  // The machine-wide class root, or the user's classes when that is refused.
  MachineOrUser,
  // The user's classes only (a per-user install).
  UserOnly,
};

// "CLSID\{...}" of a class.
std::wstring ClassKeyPath(const std::wstring& clsid);

// Writes every class key (name, InprocServer32 = module path, ThreadingModel
// "Both") and the filter entry. Where the machine-wide root refuses, everything
// goes to the user's classes instead; after a machine-wide registration, the user's
// own copies are removed, since they would hide it. `landed`, when given, says
// where the registration went.
RegistrationResult RegisterServer(ClassRegistry& registry, const ServerModule& module, RegistrationPlace place,
                                  ClassScope* landed = nullptr);

// Removes what RegisterServer wrote, from both places (the user's only for
// UserOnly). Nothing registered is success; a machine-wide registration the caller
// may not remove is reported after the user's copy has been removed.
RegistrationResult UnregisterServer(ClassRegistry& registry, const ServerModule& module, RegistrationPlace place);

}  // namespace kestrun::equalizer
