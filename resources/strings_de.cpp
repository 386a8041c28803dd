// German string table (language 2055). Numbers missing here are read from the
// French table. Windows-1252 bytes; keep the entries sorted by number.
#include "foundation/string_resources.h"

namespace tavelnor {

namespace {
constexpr StringResourceEntry kEntries[] = {
    {11952, "System"},
    {11953, "System"},
    {11994, "Benutzer"},
    {11996, "Seite"},
    {11997, "Uhrzeit"},
    {11998, "Datum"},
    {11999, "Version"},
    {12000, "Produkt"},
    {57344, "Tavelnor"},
};
}  // namespace

std::span<const StringResourceEntry> GermanStringTable() { return kEntries; }

}  // namespace tavelnor
