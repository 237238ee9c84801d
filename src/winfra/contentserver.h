#pragma once

#include <QString>
#include <QUrl>

// The content server (the site's files: catalog, version file, covers,
// resources, home page). Its base address comes from Server.ini in the
// program folder, section "Server", key "BaseUrl"; without it the local demo
// server is used.
namespace ContentServer {

inline constexpr char kDefaultBaseUrl[] = "http://127.0.0.1:8765";

// Base address without a trailing slash, e.g. "http://127.0.0.1:8765".
QString baseUrl();

// Address of a path on the server ("/flashxmlfile/version.xml").
QUrl url(const QString &path);

// The site's home page, the root path "/".
QUrl homePage();

} // namespace ContentServer
