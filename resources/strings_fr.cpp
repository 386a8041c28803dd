// French string table (language 1036), the library's base language.
// Windows-1252 bytes; keep the entries sorted by number.
#include "foundation/string_resources.h"

namespace tavelnor {

namespace {
constexpr StringResourceEntry kEntries[] = {
    {11952, "Syst\xE8me"},
    {11953, "Syst\xE8me"},
    {11994, "Utilisateur"},
    {11996, "Page"},
    {11997, "Heure"},
    {11998, "Date"},
    {11999, "Version"},
    {12000, "Produit"},
    {57344, "Tavelnor"},
};
}  // namespace

std::span<const StringResourceEntry> FrenchStringTable() { return kEntries; }

}  // namespace tavelnor
