// The locale codes of Qt 6.4, the window program's toolkit, so that reading a locale name
// selects the same locale with or without Qt. Each list is space-separated.
#pragma once

#include <string_view>

namespace picbatch {

extern const std::string_view kQtLocales;
extern const std::string_view kQtLanguageAliases;
extern const std::string_view kQtScripts;
extern const std::string_view kQtTerritories;

}  // namespace picbatch
