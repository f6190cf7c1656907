#pragma once
// What the web access library trusts and goes through, so that uploads do
// the same: its proxy (`http_proxy` in section "proxy information") and the
// PEM bundle named by `cafile` in section "network" of w3skua.ini, and how
// it resumes a broken fetch (`retries` and `retrywait` in "network")
// (${XDG_CONFIG_HOME:-$HOME/.config}/w3skua.ini, else /etc/w3skua.ini, read
// by the same reader and rules as the library's), besides the system's trust
// store with SSL_CERT_FILE and SSL_CERT_DIR honoured.

#include <chrono>
#include <string>

// The per-user w3skua.ini, ${XDG_CONFIG_HOME:-$HOME/.config}/w3skua.ini,
// whether or not it exists: where a user's own settings go.
std::string WebUserSettingsFile();

// The `cafile` setting; empty when none is set.
std::string WebCaFile();

// The `http_proxy` setting as libcurl takes it ("http://host:port/"); empty
// when none is set.
std::string WebProxy();

// The library's resumes of a broken fetch, as gannet.h states them: at most
// `retries`, the first after `firstWait`, each later one after twice the
// wait before it.
struct WebResumeSchedule {
  int retries;
  std::chrono::milliseconds firstWait;
};
WebResumeSchedule WebResumes();
