#include "platform/DesktopModule.h"

#include "platform/SystemError.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <memory>

namespace {

struct ObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using ObjectPtr = std::unique_ptr<T, ObjectUnref>;

struct Free {
  void operator()(gpointer memory) const { g_free(memory); }
};
using CharPtr = std::unique_ptr<char, Free>;

struct KeyFileFree {
  void operator()(GKeyFile* keys) const { g_key_file_free(keys); }
};

struct ErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};

// Every type that runs when opened; subtypes (a Python script is an
// executable, a C shell script a shell script) count through
// g_content_type_is_a.
constexpr const char* kProgramTypes[] = {
    "application/x-executable",
    "application/x-pie-executable",
    "application/x-sharedlib",
    "application/x-shellscript",
    "application/x-shar",
    "application/x-php",
    "text/tcl",
    "text/vbscript",
    "application/x-desktop",
    "application/x-ms-dos-executable",
    "application/x-msdownload",
    "application/vnd.microsoft.portable-executable",
    "application/x-msi",
    "application/x-ms-shortcut",
    "application/x-bat",
    "application/x-java-archive",
    "application/x-java-jnlp-file",
};

uint32_t SystemErrorFromSpawnError(const GError* error) {
  if (error->domain != G_SPAWN_ERROR) return ERROR_GEN_FAILURE;
  switch (error->code) {
    case G_SPAWN_ERROR_CHDIR:
    case G_SPAWN_ERROR_NOTDIR: return ERROR_PATH_NOT_FOUND;
    case G_SPAWN_ERROR_NOENT: return ERROR_FILE_NOT_FOUND;
    case G_SPAWN_ERROR_ACCES:
    case G_SPAWN_ERROR_PERM:
    case G_SPAWN_ERROR_ISDIR: return ERROR_ACCESS_DENIED;
    case G_SPAWN_ERROR_NOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case G_SPAWN_ERROR_MFILE:
    case G_SPAWN_ERROR_NFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case G_SPAWN_ERROR_NAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case G_SPAWN_ERROR_TXTBUSY: return ERROR_SHARING_VIOLATION;
    case G_SPAWN_ERROR_INVAL: return ERROR_INVALID_PARAMETER;
    case G_SPAWN_ERROR_IO: return ERROR_IO_DEVICE;
    default: return ERROR_GEN_FAILURE;
  }
}

// An application marked DBusActivatable is started by a message on the
// session bus whenever one is reachable: it would not be our child and could
// not be waited for. Its Exec line is the fallback every such entry must
// carry, so a copy of the entry without the mark is started instead.
ObjectPtr<GDesktopAppInfo> SpawnableApp(GDesktopAppInfo* app) {
  if (!g_desktop_app_info_get_boolean(app, G_KEY_FILE_DESKTOP_KEY_DBUS_ACTIVATABLE)) {
    return ObjectPtr<GDesktopAppInfo>(G_DESKTOP_APP_INFO(g_object_ref(app)));
  }
  const char* entry = g_desktop_app_info_get_filename(app);
  std::unique_ptr<GKeyFile, KeyFileFree> keys(g_key_file_new());
  if (!entry || !g_key_file_load_from_file(keys.get(), entry, G_KEY_FILE_NONE, nullptr)) {
    return nullptr;
  }
  g_key_file_set_boolean(keys.get(), G_KEY_FILE_DESKTOP_GROUP,
                         G_KEY_FILE_DESKTOP_KEY_DBUS_ACTIVATABLE, FALSE);
  return ObjectPtr<GDesktopAppInfo>(g_desktop_app_info_new_from_keyfile(keys.get()));
}

ObjectPtr<GDesktopAppInfo> DefaultAppFor(const char* file) {
  CharPtr type(g_content_type_guess(file, nullptr, 0, nullptr));
  ObjectPtr<GAppInfo> app(g_app_info_get_default_for_type(type.get(), FALSE));
  if (!app || !G_IS_DESKTOP_APP_INFO(app.get())) return nullptr;
  return SpawnableApp(G_DESKTOP_APP_INFO(app.get()));
}

struct Keeper {
  void (*keep)(int pid, void* context);
  void* context;
  bool kept = false;
};

void KeepPid(GDesktopAppInfo*, GPid pid, gpointer data) {
  auto* keeper = static_cast<Keeper*>(data);
  keeper->kept = true;
  keeper->keep(pid, keeper->context);
}

}  // namespace

// GIO turns a local file's URI back into its path, and quotes whatever it
// substitutes for a field code before splitting the command line, so the
// file always arrives as one argument.
extern "C" uint32_t QuiverStartDefaultApp(const char* file, void (*keep)(int pid, void* context),
                                          void* context) {
  const ObjectPtr<GDesktopAppInfo> app = DefaultAppFor(file);
  if (!app) return ERROR_GEN_FAILURE;
  ObjectPtr<GFile> location(g_file_new_for_path(file));
  CharPtr uri(g_file_get_uri(location.get()));
  GList uris = {uri.get(), nullptr, nullptr};
  Keeper keeper{keep, context};
  GError* raw = nullptr;
  const auto flags = static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD);
  const bool launched = g_desktop_app_info_launch_uris_as_manager(
      app.get(), &uris, nullptr, flags, nullptr, nullptr, KeepPid, &keeper, &raw);
  const std::unique_ptr<GError, ErrorFree> error(raw);
  if (!launched) return SystemErrorFromSpawnError(error.get());
  return keeper.kept ? 0u : static_cast<uint32_t>(ERROR_GEN_FAILURE);
}

extern "C" bool QuiverIsProgramType(const char* file, const unsigned char* head, size_t size) {
  const CharPtr type(g_content_type_guess(file, head, size, nullptr));
  for (const char* program : kProgramTypes) {
    if (g_content_type_is_a(type.get(), program)) return true;
  }
  return false;
}
