#pragma once

#include <QString>

// The per-user Internet options that the engine consults, kept outside the program folder
// ($XDG_CONFIG_HOME/sablix/InternetOptions.ini). Today: the home page of Go Home.
namespace InternetOptions {

QString homePage(); // "about:blank" until one is set
void setHomePage(const QString &address);

} // namespace InternetOptions
