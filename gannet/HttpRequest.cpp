#include "HttpRequest.h"

#include <algorithm>

namespace gannet {

namespace {

void AppendEscaped(std::string* out, const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x21 || c > 0x7E) {
      out->push_back('%');
      out->push_back(kHex[c >> 4]);
      out->push_back(kHex[c & 0x0F]);
    } else {
      out->push_back(ch);
    }
  }
}

// Base64 of RFC 4648 with padding, for Basic authorization: written out
// here so that a request never loads the TLS module for one header.
std::string Base64(const std::string& text) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < text.size(); i += 3) {
    const size_t n = std::min<size_t>(3, text.size() - i);
    uint32_t group = 0;
    for (size_t k = 0; k < 3; ++k) {
      group = group << 8 | (k < n ? static_cast<unsigned char>(text[i + k]) : 0u);
    }
    for (size_t k = 0; k < 4; ++k) {
      out.push_back(k <= n ? kDigits[group >> (18 - 6 * k) & 0x3F] : '=');
    }
  }
  return out;
}

bool IsLoopback(const std::string& host) { return host == "127.0.0.1" || host == "::1"; }

}  // namespace

std::string CHttpRequest::Get(const std::string& target, const std::string& hostHeader,
                              const std::string& credentials,
                              const std::string& extraHeaders) {
  std::string request = "GET ";
  AppendEscaped(&request, target);
  request += " HTTP/1.0\r\nHost: ";
  AppendEscaped(&request, hostHeader);
  // The file is wanted as it lies on the server, never in a content coding.
  request += "\r\nAccept: */*\r\nAccept-Encoding: identity\r\n";
  if (!credentials.empty()) request += "Authorization: Basic " + Base64(credentials) + "\r\n";
  request += extraHeaders + "\r\n";
  return request;
}

std::string CHttpRequest::Connect(const HostPort& host) {
  std::string authority;
  AppendEscaped(&authority,
                (host.name.find(':') == std::string::npos ? host.name : "[" + host.name + "]") +
                    ":" + std::to_string(host.port));
  return "CONNECT " + authority + " HTTP/1.0\r\nHost: " + authority + "\r\n\r\n";
}

bool CHttpRequest::MayCarry(const std::string& credentials, const RequestTarget& target,
                            bool proxied) {
  return credentials.empty() || target.https || (!proxied && IsLoopback(target.host.name));
}

}  // namespace gannet
