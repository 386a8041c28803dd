// The help texts of the Btrieve error dialog, written for this library.
#include "data/btrv_help_texts.h"

#include "foundation/case_tables.h"

namespace tavelnor::data {

namespace {

#define TAVELNOR_RTF(body) "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs18 " body "}"

struct HelpText {
  std::string_view name;
  std::string_view rtf;
};

constexpr HelpText kTexts[] = {
    {"IDR_EDLG_TECH",
     TAVELNOR_RTF("\\b Statut %status%\\b0\\par %desc%\\par\\par"
                  "Gestionnaire d'enregistrements : %btrvversion%\\par"
                  "Espace disque : %disk%\\par")},
    {"IDR_EDLG_DIAGDEF",
     TAVELNOR_RTF("Aucun diagnostic particulier n'est connu pour ce statut.\\par"
                  "Notez le code et l'op\\'e9ration affich\\'e9s et transmettez-les "
                  "\\'e0 votre support technique.\\par")},
    {"Btrv-2.rtf",
     TAVELNOR_RTF("Le fichier n'a pas pu \\'eatre lu ou \\'e9crit correctement. Il est "
                  "peut-\\'eatre endommag\\'e9 ou le disque pr\\'e9sente une erreur.\\par"
                  "Faites une copie du fichier puis lancez sa v\\'e9rification.\\par")},
    {"Btrv-3;5;6;7;8;9;10.rtf",
     TAVELNOR_RTF("Le programme a demand\\'e9 une op\\'e9ration que l'\\'e9tat du fichier "
                  "ne permet pas (fichier ferm\\'e9, cl\\'e9 ou position non valable, "
                  "doublon, fin de fichier).\\par"
                  "Il s'agit le plus souvent d'une erreur de programme : "
                  "signalez-la au support.\\par")},
    {"Btrv-18.rtf",
     TAVELNOR_RTF("Le disque est plein. Lib\\'e9rez de la place sur le disque qui contient "
                  "les donn\\'e9es puis recommencez.\\par")},
    {"Btrv-20.rtf",
     TAVELNOR_RTF("Le gestionnaire d'enregistrements n'est pas charg\\'e9 ou ne r\\'e9pond "
                  "pas. V\\'e9rifiez son installation et qu'il est bien d\\'e9marr\\'e9.\\par")},
    {"Btrv-22.rtf",
     TAVELNOR_RTF("La zone pr\\'e9vue pour l'enregistrement est trop petite. Le fichier ne "
                  "correspond sans doute pas \\'e0 la version du dictionnaire.\\par")},
    {"Btrv-25.rtf",
     TAVELNOR_RTF("Le fichier n'a pas pu \\'eatre cr\\'e9\\'e9. V\\'e9rifiez que le dossier "
                  "existe et que vous avez le droit d'y \\'e9crire.\\par")},
    {"Btrv-30.rtf",
     TAVELNOR_RTF("Le fichier ouvert n'est pas un fichier de donn\\'e9es reconnu, ou son "
                  "en-t\\'eate est endommag\\'e9.\\par")},
    {"Btrv-54.rtf",
     TAVELNOR_RTF("La partie variable d'un enregistrement est endommag\\'e9e. Lancez la "
                  "v\\'e9rification du fichier.\\par")},
    {"Btrv-86.rtf",
     TAVELNOR_RTF("Trop de fichiers sont ouverts en m\\'eame temps. Augmentez le nombre de "
                  "fichiers ouverts dans la configuration du gestionnaire "
                  "d'enregistrements.\\par")},
    {"Btrv-88.rtf",
     TAVELNOR_RTF("Le fichier est d\\'e9j\\'e0 ouvert dans un mode incompatible "
                  "(exclusif ou lecture seule) par un autre poste.\\par")},
    {"Btrv-94.rtf",
     TAVELNOR_RTF("Vous n'avez pas les droits n\\'e9cessaires sur le fichier ou sur son "
                  "dossier.\\par")},
    {"Btrv-95.rtf",
     TAVELNOR_RTF("La liaison avec le gestionnaire d'enregistrements a \\'e9t\\'e9 perdue "
                  "(r\\'e9seau coup\\'e9, serveur arr\\'eat\\'e9). Relancez le "
                  "programme.\\par")},
    {"Btrv-860.rtf",
     TAVELNOR_RTF("La table n'a pas pu \\'eatre ouverte avec sa d\\'e9finition du "
                  "dictionnaire.\\par")},
    {"Btrv-861.rtf",
     TAVELNOR_RTF("Le fichier est r\\'e9serv\\'e9 par une autre partie du programme. "
                  "Terminez l'op\\'e9ration en cours puis recommencez.\\par")},
};

#undef TAVELNOR_RTF

constexpr std::string_view kIndex =
    "[BtrvDiag]\n"
    "2=Btrv-2.rtf\n"
    "3=Btrv-3;5;6;7;8;9;10.rtf\n"
    "5=Btrv-3;5;6;7;8;9;10.rtf\n"
    "6=Btrv-3;5;6;7;8;9;10.rtf\n"
    "7=Btrv-3;5;6;7;8;9;10.rtf\n"
    "8=Btrv-3;5;6;7;8;9;10.rtf\n"
    "9=Btrv-3;5;6;7;8;9;10.rtf\n"
    "10=Btrv-3;5;6;7;8;9;10.rtf\n"
    "18=Btrv-18.rtf\n"
    "20=Btrv-20.rtf\n"
    "22=Btrv-22.rtf\n"
    "25=Btrv-25.rtf\n"
    "30=Btrv-30.rtf\n"
    "54=Btrv-54.rtf\n"
    "85=Btrv-85.rtf\n"
    "86=Btrv-86.rtf\n"
    "88=Btrv-88.rtf\n"
    "94=Btrv-94.rtf\n"
    "95=Btrv-95.rtf\n"
    "116=Btrv-116.rtf\n"
    "161=Btrv-161.rtf\n"
    "860=Btrv-860.rtf\n"
    "861=Btrv-861.rtf\n"
    "1021=Btrv-1021.rtf\n"
    "3006=Btrv-3006.rtf\n"
    "3110=Btrv-3110.rtf\n"
    "3111=Btrv-3111.rtf\n";

}  // namespace

std::string_view FindHelpText(std::string_view name) {
  for (const HelpText& t : kTexts) {
    if (CompareNoCase1252(t.name, name) == 0) return t.rtf;
  }
  return {};
}

std::string_view BtrvDiagIndex() { return kIndex; }

}  // namespace tavelnor::data
