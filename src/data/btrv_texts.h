// Texts of Btrieve statuses: the description of a status from the library's
// string table, with its fallbacks.
#pragma once

#include <cstdint>
#include <string>

namespace tavelnor::data {

// String numbers of the access layer's texts.
namespace btrids {
inline constexpr uint32_t kNotAvailable = 16439;   // "<Non disponible>"
inline constexpr uint32_t kErrorTitle = 16447;     // error dialog title
inline constexpr uint32_t kErrorHeader = 16448;    // "Une erreur de base de données..."
inline constexpr uint32_t kReportFormat = 16449;   // message box text format
inline constexpr uint32_t kTabDetail = 16450;      // "Détail"
inline constexpr uint32_t kTabSupport = 16451;     // "Support"
inline constexpr uint32_t kUnknownError = 16454;   // "Erreur inconnue"
inline constexpr uint32_t kUnknownFile = 16456;    // "<Inconnu>"
inline constexpr uint32_t kUnknownOperation = 16457;  // "<Inconnue>"
inline constexpr uint32_t kStatusBase = 16500;     // + status: its description
}  // namespace btrids

// The description of `status` in the current resource language: string
// 16500 + status, else string 16454, else "Erreur inconnue".
std::string StatusDescription(int status);

}  // namespace tavelnor::data
