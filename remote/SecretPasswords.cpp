#include "remote/SecretPasswords.h"

#include <cstdlib>
#include <memory>
#include <string>

#include <libsecret/secret.h>

namespace {

constexpr char kSecretsName[] = "org.freedesktop.secrets";
// A Secret Service that answers slower than this is treated as absent.
constexpr int kBusTimeoutMs = 5000;

struct GObjectFree {
  void operator()(gpointer p) const { g_object_unref(p); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectFree>;

struct HashTableFree {
  void operator()(GHashTable* t) const { g_hash_table_unref(t); }
};
using HashTablePtr = std::unique_ptr<GHashTable, HashTableFree>;

struct ListFree {
  void operator()(GList* l) const { g_list_free_full(l, g_object_unref); }
};
using ListPtr = std::unique_ptr<GList, ListFree>;

struct ValueFree {
  void operator()(SecretValue* v) const { secret_value_unref(v); }
};
using ValuePtr = std::unique_ptr<SecretValue, ValueFree>;

// Asks the bus whether a Secret Service runs now, so that none is started
// through D-Bus activation (which may wait or ask for a password).
bool SecretServiceRuns() {
  const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (!bus || !*bus) return false;
  GObjectPtr<GDBusConnection> connection(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
  if (!connection) return false;
  // The shared connection (libsecret's as well) would otherwise end the
  // whole program with SIGTERM when the session bus goes away.
  g_dbus_connection_set_exit_on_close(connection.get(), FALSE);
  GVariant* reply = g_dbus_connection_call_sync(
      connection.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
      "NameHasOwner", g_variant_new("(s)", kSecretsName), G_VARIANT_TYPE("(b)"),
      G_DBUS_CALL_FLAGS_NO_AUTO_START, kBusTimeoutMs, nullptr, nullptr);
  if (!reply) return false;
  gboolean owned = FALSE;
  g_variant_get(reply, "(b)", &owned);
  g_variant_unref(reply);
  return owned;
}

std::string Attribute(SecretItem* item, const char* name) {
  HashTablePtr attributes(secret_item_get_attributes(item));
  const auto* value = static_cast<const char*>(g_hash_table_lookup(attributes.get(), name));
  return value ? value : "";
}

// Items stored without a port (as file managers do for the default one)
// count for the scheme's default port only.
bool PortFits(SecretItem* item, const RemoteAddress& address) {
  const std::string port = Attribute(item, "port");
  const int defaultPort = address.scheme == RemoteAddress::Scheme::Davs ? 443 : 80;
  return port.empty() || port == "0" ? address.port == defaultPort
                                     : port == std::to_string(address.port);
}

// The first unlocked item whose secret could be read.
bool TakeLogin(GList* items, const RemoteAddress& address, NetrcLogin& login) {
  for (GList* l = items; l; l = l->next) {
    auto* item = static_cast<SecretItem*>(l->data);
    if (secret_item_get_locked(item) || !PortFits(item, address)) continue;
    ValuePtr secret(secret_item_get_secret(item));
    if (!secret) continue;
    gsize length = 0;
    const gchar* bytes = secret_value_get(secret.get(), &length);
    login.user = address.user.empty() ? Attribute(item, "user") : address.user;
    login.password.assign(bytes, length);
    return true;
  }
  return false;
}

}  // namespace

bool FindSecretLogin(const RemoteAddress& address, NetrcLogin& login) {
  if (address.scheme == RemoteAddress::Scheme::Sftp || !SecretServiceRuns()) return false;
  GObjectPtr<SecretService> service(secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, nullptr));
  if (!service) return false;
  HashTablePtr attributes(g_hash_table_new(g_str_hash, g_str_equal));
  const char* protocol = address.scheme == RemoteAddress::Scheme::Davs ? "davs" : "dav";
  g_hash_table_insert(attributes.get(), const_cast<char*>("server"),
                      const_cast<char*>(address.host.c_str()));
  g_hash_table_insert(attributes.get(), const_cast<char*>("protocol"), const_cast<char*>(protocol));
  if (!address.user.empty()) {
    g_hash_table_insert(attributes.get(), const_cast<char*>("user"),
                        const_cast<char*>(address.user.c_str()));
  }
  // Without SECRET_SEARCH_UNLOCK locked items stay locked: nothing prompts.
  ListPtr items(secret_service_search_sync(
      service.get(), SECRET_SCHEMA_COMPAT_NETWORK, attributes.get(),
      static_cast<SecretSearchFlags>(SECRET_SEARCH_ALL | SECRET_SEARCH_LOAD_SECRETS), nullptr,
      nullptr));
  return TakeLogin(items.get(), address, login);
}
