// The reference tables of the demo (settings, payment modes, families,
// journals) and the article catalogue.
#include <array>
#include <cstdio>

#include "demo/generator/demo_build.h"
#include "demo/generator/demo_names.h"
#include "demo/generator/demo_picture.h"

namespace tavelnor::demo {
namespace {

struct ModeRow {
  const char* code;
  const char* label;
  int days;
  bool end_of_month;
};
constexpr std::array<ModeRow, 8> kModes = {
    {{"CHQ", "Chèque à réception", 0, false},
     {"CB", "Carte bancaire", 0, false},
     {"ESP", "Espèces", 0, false},
     {"V30", "Virement à 30 jours", 30, false},
     {"V45F", "Virement à 45 jours fin de mois", 45, true},
     {"V60", "Virement à 60 jours", 60, false},
     {"L60", "LCR à 60 jours", 60, false},
     {"P30F", "Prélèvement à 30 jours fin de mois", 30, true}}};

struct FamilyRow {
  const char* code;
  const char* label;
  int vat_hundredths;
  const char* account;
  const char* unit;
  int min_euros, max_euros;
  std::array<const char*, 8> nouns;
  std::array<const char*, 8> qualifiers;
};
constexpr std::array<FamilyRow, 12> kFamilies = {{
    {"PAP",
     "Papeterie",
     2000,
     "707100",
     "U",
     1,
     40,
     {"Ramette de papier", "Classeur à levier", "Stylo bille", "Cahier spirale", "Enveloppes",
      "Bloc-notes", "Surligneur", "Agenda"},
     {"A4 80 g", "A5", "bleu", "noir", "recyclé", "lot de 10", "grand format", "couleur"}},
    {"INF",
     "Informatique",
     2000,
     "707200",
     "U",
     8,
     1400,
     {"Ordinateur portable", "Écran", "Clavier", "Souris sans fil", "Disque dur externe",
      "Imprimante laser", "Câble réseau", "Clé USB"},
     {"24 pouces", "27 pouces", "1 To", "64 Go", "AZERTY", "professionnel", "compact", "3 mètres"}},
    {"MOB",
     "Mobilier de bureau",
     2000,
     "707300",
     "U",
     40,
     900,
     {"Bureau", "Fauteuil", "Armoire", "Caisson", "Table de réunion", "Étagère", "Chaise visiteur",
      "Vestiaire"},
     {"chêne clair", "blanc", "gris anthracite", "à roulettes", "2 portes", "160 cm", "ergonomique",
      "empilable"}},
    {"ENT",
     "Produits d'entretien",
     2000,
     "707400",
     "L",
     2,
     60,
     {"Nettoyant multi-usage", "Liquide vaisselle", "Désinfectant", "Savon liquide",
      "Papier essuie-mains", "Sacs poubelle", "Lingettes", "Détartrant"},
     {"citron", "5 litres", "écologique", "parfum lavande", "1 litre", "lot de 6", "sans parfum",
      "concentré"}},
    {"EPI",
     "Épicerie fine",
     550,
     "707500",
     "KG",
     3,
     80,
     {"Café en grains", "Thé vert", "Chocolat noir", "Confiture", "Miel de lavande",
      "Huile d'olive", "Biscuits", "Foie gras"},
     {"bio", "de Provence", "pur arabica", "70 % cacao", "artisanal", "500 g", "coffret",
      "du Périgord"}},
    {"BOI",
     "Boissons",
     2000,
     "707600",
     "L",
     2,
     120,
     {"Vin rouge", "Champagne", "Cidre", "Jus de pomme", "Eau minérale", "Bière", "Crémant",
      "Sirop"},
     {"Bordeaux", "brut", "de Normandie", "pétillant", "bouteille 75 cl", "carton de 6", "d'Alsace",
      "millésimé"}},
    {"LIV",
     "Librairie",
     550,
     "707700",
     "U",
     5,
     70,
     {"Guide pratique", "Dictionnaire", "Manuel de comptabilité", "Code du travail",
      "Atlas routier", "Roman", "Carnet de recettes", "Méthode de langue"},
     {"édition 2024", "poche", "relié", "illustré", "grand format", "français-anglais",
      "nouvelle édition", "collector"}},
    {"PRE",
     "Presse",
     210,
     "707800",
     "U",
     1,
     12,
     {"Quotidien régional", "Magazine économique", "Revue technique", "Hebdomadaire",
      "Mensuel professionnel", "Lettre d'information", "Annuaire", "Bulletin officiel"},
     {"numéro spécial", "abonnement", "édition du soir", "hors-série", "trimestriel", "mensuel",
      "annuel", "supplément"}},
    {"OUT",
     "Outillage",
     2000,
     "707900",
     "U",
     5,
     600,
     {"Perceuse", "Tournevis", "Marteau", "Scie circulaire", "Clé à molette", "Niveau à bulle",
      "Mètre ruban", "Ponceuse"},
     {"sans fil", "18 V", "professionnel", "coffret", "5 mètres", "magnétique", "acier trempé",
      "compact"}},
    {"JAR",
     "Jardinage",
     1000,
     "707010",
     "U",
     3,
     450,
     {"Terreau", "Sécateur", "Tondeuse", "Arrosoir", "Graines de tomates", "Rosier",
      "Tuyau d'arrosage", "Bêche"},
     {"universel", "thermique", "électrique", "10 litres", "bio", "grimpant", "25 mètres",
      "forgé"}},
    {"ELM",
     "Électroménager",
     2000,
     "707020",
     "U",
     25,
     1100,
     {"Machine à café", "Réfrigérateur", "Micro-ondes", "Bouilloire", "Aspirateur",
      "Lave-vaisselle", "Grille-pain", "Four"},
     {"inox", "encastrable", "sans sac", "1,7 litre", "classe A", "compact", "programmable",
      "20 litres"}},
    {"SRV",
     "Prestations de service",
     2000,
     "706000",
     "H",
     35,
     120,
     {"Installation", "Maintenance", "Formation", "Dépannage", "Audit", "Livraison", "Conseil",
      "Montage"},
     {"sur site", "à distance", "annuelle", "urgente", "forfait", "express", "premier niveau",
      "mensuelle"}},
}};

constexpr std::array<const char*, 5> kJournalRows[] = {
    {"VE", "Ventes", "2", "", ""},
    {"AC", "Achats", "1", "", ""},
    {"BQ", "Banque Crédit Régional", "3", "512000", ""},
    {"CA", "Caisse", "3", "530000", ""},
    {"OD", "Opérations diverses", "4", "", ""}};

std::string Code(const char* prefix, uint32_t n, int width) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s%0*u", prefix, width, n);
  return buf;
}

std::string ArticleText(DemoRandom& rng, const Article& a) {
  static constexpr std::array<const char*, 6> kOpenings = {
      "Article de qualité professionnelle.",
      "Référence phare de notre catalogue.",
      "Produit conforme aux normes européennes.",
      "Nouveauté de la saison.",
      "Fabriqué en France.",
      "Garantie constructeur de deux ans."};
  std::string text = a.designation + "\r\n" + kOpenings[rng.Below(kOpenings.size())];
  if (rng.Percent(50)) text += "\r\nLivraison sous 48 heures en France métropolitaine.";
  if (rng.Percent(30)) text += "\r\nConditionnement adapté aux collectivités.";
  return text;
}

}  // namespace

Status WriteReferenceData(DemoBuild& build) {
  DemoRandom& rng = build.rng;
  DemoTable& settings = build.Table("Parametres");
  const std::string siren = RandomSiren(rng);
  settings.Integer("Cle", 1);
  settings.Text("RaisonSociale", "Comptoir Tavelnor Démo SARL");
  settings.Text("Siret", SiretOf(rng, siren));
  settings.Text("NumeroTVA", FrenchVatNumber(siren));
  settings.Text("Devise", "EUR");
  settings.Date("DebutExercice", record::sDate{1, 1, kLastDemoYear});
  settings.Date("FinExercice", record::sDate{31, 12, kLastDemoYear});
  settings.Blob("Logo", LogoPicture());
  if (Status s = build.Insert(settings); !s.ok()) return s;

  DemoTable& modes = build.Table("ModesReglement");
  for (const ModeRow& m : kModes) {
    build.modes.push_back({m.code, m.label, m.days, m.end_of_month});
    modes.Text("CodeReglement", m.code);
    modes.Text("Libelle", m.label);
    modes.Integer("NbJours", m.days);
    modes.Bool("FinDeMois", m.end_of_month);
    if (Status s = build.Insert(modes); !s.ok()) return s;
  }

  DemoTable& families = build.Table("Familles");
  for (const FamilyRow& f : kFamilies) {
    build.families.push_back({f.code, f.vat_hundredths, f.account});
    families.Text("CodeFamille", f.code);
    families.Text("Libelle", f.label);
    families.Decimal("TauxTVA", f.vat_hundredths, 2);
    families.Text("CompteVente", f.account);
    if (Status s = build.Insert(families); !s.ok()) return s;
  }

  DemoTable& journals = build.Table("Journaux");
  for (const auto& j : kJournalRows) {
    journals.Text("CodeJournal", j[0]);
    journals.Text("Libelle", j[1]);
    journals.Integer("TypeJournal", j[2][0] - '0');
    journals.Text("CompteContrepartie", j[3]);
    if (Status s = build.Insert(journals); !s.ok()) return s;
  }
  return Status::Ok();
}

Status WriteArticles(DemoBuild& build) {
  DemoRandom& rng = build.rng;
  DemoTable& t = build.Table("Articles");
  const uint32_t total = build.options.size.articles;
  // About one article in four hundred has a photo, and at least one has.
  const uint32_t photo_every = 400;
  build.articles.reserve(total);
  for (uint32_t i = 0; i < total; ++i) {
    const uint32_t family = rng.Below(kFamilies.size());
    const FamilyRow& f = kFamilies[family];
    Article a;
    a.family = family;
    a.code = Code((std::string(f.code) + "-").c_str(), i + 1, 6);
    a.designation = std::string(f.nouns[rng.Below(8)]) + " " + f.qualifiers[rng.Below(8)];
    a.service = f.unit[0] == 'H';
    const int64_t buy = rng.Between(int64_t{f.min_euros} * 100, int64_t{f.max_euros} * 100);
    // Prices end in 0, 5 or 9 cents, as shops print them.
    const int64_t sell = RoundDiv(buy * rng.Between(130, 220), 1000) * 10 + 9;
    a.price_cents = sell;
    t.Text("CodeArticle", a.code);
    t.Text("Designation", a.designation);
    t.Text("CodeFamille", f.code);
    t.Money("PrixAchat", buy);
    t.Money("PrixVente", sell);
    t.Decimal("Stock", a.service ? 0 : rng.Between(0, 500) * 1000 + rng.Below(4) * 250, 3);
    t.Decimal("StockMini", a.service ? 0 : rng.Between(1, 20) * 1000, 3);
    t.Text("Unite", f.unit);
    t.Bool("Actif", !rng.Percent(4));
    if (i % photo_every == 7 || (total <= 7 && i == 0)) t.Blob("Photo", ProductPicture(rng.Raw()));
    if (rng.Percent(12)) t.Memo("Description", ArticleText(rng, a));
    const int32_t created = build.FirstDay() - 700 + static_cast<int32_t>(rng.Below(700 + 365));
    t.Stamp("DateCreation",
            UnixSeconds(created, 8 * 3600 + static_cast<int32_t>(rng.Below(36000))));
    if (Status s = build.Insert(t); !s.ok()) return s;
    build.articles.push_back(std::move(a));
    if ((i + 1) % 1000 == 0 || i + 1 == total) build.Progress("Articles", i + 1, total);
  }
  return Status::Ok();
}

}  // namespace tavelnor::demo
