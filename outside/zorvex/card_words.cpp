#include "outside/zorvex/card_words.h"

#include <algorithm>
#include <string>
#include <vector>

#include "outside/zorvex/card_text.h"

namespace outside::card_rules {

namespace {

const char* const kBusinessWords[] = {
    "restaurant", "restaurante", "ristorante", "restauracja", "bakery", "bäckerei", "boulangerie", "bakkerij",
    "café", "cafe", "caffè", "bistro", "hotel", "studio", "studios", "atelier", "estudio", "pracownia",
    "electricals", "electrical", "electronics", "airlines", "airline", "airways", "insurance", "versicherung",
    "assurances", "seguros", "digitals", "solutions", "technologies", "industries", "enterprises",
    "logistics", "consulting", "agency", "agentur", "agence", "agencia", "bureau", "büro", "biuro", "kanzlei",
    "kancelaria", "cabinet", "praxis", "clinic", "klinik", "clínica", "pharmacy", "apotheke", "farmacia",
    "apteka", "verlag", "wydawnictwo", "printing", "druckerei", "drukarnia", "imprimerie", "optics", "optik",
    "optiikka", "motors", "autohaus", "garage", "taller", "werkstatt", "warsztat", "realty", "immobilien",
    "construction", "builders", "bau", "trading", "handel", "bank", "banco", "banque", "institute",
    "institut", "instituto", "university", "universität", "université", "universidad", "academy", "akademie",
    "school", "schule", "école", "foundation", "stiftung", "fundación", "fundacja", "laboratories", "labs",
    "laboratorium", "travels", "tours", "reisen", "boutique", "salon", "gallery", "galerie", "galería",
    "systems", "systeme", "sistemas", "partners", "partnerschaft", "associates", "sklep", "hurtownia",
    "firma", "padaria", "pizzaria", "lanchonete", "oficina", "mecânica", "eletrônica", "informática",
    "imobiliária", "advocacia", "despachante", "floricultura", "buffet", "ótica", "óptica", "farmácia",
    "autopeças", "peças", "refrigeração", "estética", "estetica", "kosmetik", "cosmetics", "beauty",
    "assistência", "baterias", "batteries", "batterien",
    // A car trade's name starts so in Portuguese and Spanish ("Auto Socorro", "Auto Escola"); no one's name
    // has it.
    "auto"};

}  // namespace

bool IsTitleWord(const std::string& word) {
    if (InList(word,
               {"ceo",         "cto",          "cfo",     "coo",       "president", "officer", "head",
                "chief",       "lead",         "owner",   "secretary", "partner",   "founder", "sales",
                "marketing",   "executive",    "chef",    "jefe",      "gérant",    "gerente", "arquiteta",
                "arquiteto",   "architetto",   "vp",      "attorney",  "lawyer",    "avocat",  "abogado",
                "avvocato",    "rechtsanwalt", "vice",    "leder",     "vezető",    "müdürü",  "müdür",
                "księgowa",    "księgowy",     "gestor",  "gestora",   "associate", "intern",  "vertrieb",
                "außendienst", "innendienst",  "verkauf", "einkauf",   "escrevente"}))
        return true;
    static const char* const kStems[] = {"manag",
                                         "direct",
                                         "direkt",
                                         "direttor",
                                         "diretor",
                                         "dyrektor",
                                         "engineer",
                                         "ingeni",
                                         "ingénieur",
                                         "design",
                                         "consult",
                                         "berater",
                                         "assist",
                                         "develop",
                                         "entwickler",
                                         "architect",
                                         "architekt",
                                         "specialist",
                                         "spezialist",
                                         "analyst",
                                         "scien",
                                         "researcher",
                                         "professor",
                                         "coordinat",
                                         "koordinat",
                                         "account",
                                         "represent",
                                         "advisor",
                                         "leiter",
                                         "chef",
                                         "päällikkö",
                                         "johtaja",
                                         "ředitel",
                                         "riaditeľ",
                                         "igazgató",
                                         "kierownik",
                                         "responsab",
                                         "projectleider",
                                         "verkoper",
                                         "adviseur",
                                         "officer",
                                         "techni",
                                         "geschäftsführer",
                                         "ksiegow",
                                         "księgow",
                                         "inhaber",
                                         "vorstand",
                                         "prokurist",
                                         "comercial",
                                         "commercial",
                                         "部長",
                                         "課長",
                                         "社長",
                                         "取締役",
                                         "主任",
                                         "係長",
                                         "マネージャー",
                                         "经理",
                                         "經理",
                                         "总监",
                                         "總監",
                                         "主管",
                                         "董事",
                                         "부장",
                                         "과장",
                                         "이사",
                                         "팀장"};
    const std::string bare = Bare(word);
    for (const char* stem : kStems)
        if (bare.find(stem) != std::string::npos) return true;
    return false;
}

bool IsLegalForm(const std::string& word) {
    return InList(word,
                  {"ltd",   "inc",  "gmbh", "llc",     "corp",    "corporation", "co",   "ag",    "sa",
                   "sarl",  "sas",  "plc",  "company", "kg",      "bv",          "nv",   "oy",    "ab",
                   "as",    "asa",  "srl",  "spa",     "limited", "kk",          "pte",  "pty",   "sl",
                   "lda",   "sp",   "zoo",  "sro",     "kft",     "group",       "gbr",  "ug",    "se",
                   "aps",   "ltda", "oü",   "ou",      "aş",      "aö",          "bvba", "sprl",  "oyj",
                   "spzoo", "ohg",  "ek",   "lp",      "llp",     "gmbh&co",     "eirl", "sarl.", "sca"});
}

bool IsBusinessWord(const std::string& word) {
    // Recognition drops the accents of capitals now and then ("ELETRONICA", "ASSISTENCIA"): the words
    // are compared without them.
    static const auto folded = [] {
        std::vector<std::string> keys;
        for (const char* key : kBusinessWords) keys.push_back(Compact(key));
        return keys;
    }();
    const std::string bare = Compact(word);
    return !bare.empty() && std::find(folded.begin(), folded.end(), bare) != folded.end();
}

bool IsJobWord(const std::string& word) { return IsTitleWord(word) && !IsBusinessWord(word); }

bool IsPlainLegalForm(const std::string& word) { return IsLegalForm(word) && Bare(word).size() >= 3; }

bool HasLegalForm(const std::string& line) {
    const std::vector<std::string> words = Words(line);
    for (size_t k = 0; k < words.size(); ++k) {
        if (!IsLegalForm(words[k])) continue;
        if (Bare(words[k]).size() >= 3 || k + 1 == words.size()) return true;
        const std::string& next = words[k + 1];
        if (IsLegalForm(next) || Bare(next) == "z" || next[0] == '&') return true;
    }
    return false;
}

bool IsHonorific(const std::string& word) {
    return InList(word, {"dr", "mr", "mrs", "ms", "prof", "herr", "frau", "mme", "m"});
}

Label TelephoneLabel(const std::string& before) {
    std::vector<std::string> words = Words(before);
    while (!words.empty() && Bare(words.back()).empty()) words.pop_back();  // "Tél. : 02 ..."
    if (words.empty()) return Label::kNone;
    const std::string word = Bare(words.back());
    if (InList(word,
               {"m",       "mob",      "mobile", "cell",    "cellular",  "handy",    "mobil",  "portable",
                "port",    "móvil",    "movil",  "celular", "cellulare", "gsm",      "mobiel", "matkapuhelin",
                "komórka", "tel/m",    "kom",    "telem",   "telemóvel", "cel",      "cell",   "mob",
                "mobtel",  "handynr",  "natel",  "cep",     "携帯",      "携帯電話", "手机",   "手機",
                "휴대폰",  "휴대전화", "핸드폰", "моб",     "мобильный"}))
        return Label::kCell;
    if (InList(word, {"f", "fax", "telefax", "fx", "ファックス", "ファクス", "传真", "傳真", "팩스", "факс"}))
        return Label::kFax;
    if (InList(word,
               {"t",        "tel",      "tél",      "phone",  "ph",     "telephone", "téléphone", "telefon",
                "telefono", "teléfono", "telefone", "office", "direct", "work",      "p",         "puh",
                "tlf",      "telefoon", "d",        "tel.",   "tfn",    "telf",      "τηλ",       "тел",
                "o",        "w",        "fon",      "電話",   "电话",   "直通",      "전화",      "телефон"}))
        return Label::kWork;
    return Label::kNone;
}

bool IsParticle(const std::string& word) {
    return InList(word, {"de",  "van", "von", "der", "den", "da", "di", "du", "del", "la", "le",
                         "dos", "das", "do",  "ter", "ten", "y",  "e",  "al", "bin", "zu"});
}

bool IsWeekday(const std::string& word) {
    return InList(word, {"monday",  "tuesday",  "wednesday", "thursday",   "friday",   "saturday", "sunday",
                         "montag",  "dienstag", "mittwoch",  "donnerstag", "freitag",  "samstag",  "sonntag",
                         "lundi",   "mardi",    "mercredi",  "jeudi",      "vendredi", "samedi",   "dimanche",
                         "lunes",   "martes",   "miércoles", "jueves",     "viernes",  "sábado",   "domingo",
                         "segunda", "terça",    "quarta",    "quinta",     "sexta",    "sabado",   "lunedì",
                         "martedì", "venerdì",  "sabato",    "domenica"});
}

bool IsStreetWord(const std::string& word) {
    return InList(word, {"rua",    "r",        "av",      "avenida", "alameda", "al",    "praça", "praca",
                         "pça",    "travessa", "estrada", "rodovia", "rod",     "largo", "calle", "avda",
                         "carrer", "passeig",  "via",     "viale",   "piazza",  "corso", "rue",   "ul"});
}

bool IsTelephoneLabelWord(const std::string& word) {
    std::string part;
    for (char c : word + "/") {
        if (c != '/') {
            part += c;
            continue;
        }
        const std::string bare = Bare(part);
        if ((bare.size() >= 2 && TelephoneLabel(part) != Label::kNone) || bare.rfind("fone", 0) == 0 ||
            bare.rfind("tel", 0) == 0)
            return true;
        part.clear();
    }
    return false;
}

bool HasCjkLegalForm(const std::string& line) {
    for (const char* form : {"株式会社", "有限会社", "合同会社", "合資会社", "(株)", "㈱", "有限公司", "股份",
                             "公司", "주식회사", "(주)", "㈜"})
        if (line.find(form) != std::string::npos) return true;
    return false;
}

}  // namespace outside::card_rules
