#pragma once
// The word lists of the card rules, in the languages the card program reads: job titles, legal forms,
// business nouns, honorifics, name particles, weekdays, street words and telephone labels.
// For the card rules' own files; callers use card_fields.h and vcard.h.

#include <string>

namespace outside::card_rules {

// Job words in the languages the card program reads; a line with one of them is a title. Stems are
// found inside a word too, since titles compound them ("Vertriebsleiterin", "Myyntipäällikkö").
bool IsTitleWord(const std::string& word);

// Legal forms that end (or start) a company's name.
bool IsLegalForm(const std::string& word);

// Nouns that name a business rather than a person ("Family Restaurant", "Biuro Rachunkowe Kowalczyk",
// "Sun Electricals"), in the languages the card program reads; a company without a legal form on its
// card is often named so.
bool IsBusinessWord(const std::string& word);

// A job word that does not name a trade ("Assistente" does, "ASSISTÊNCIA TÉCNICA" does not).
bool IsJobWord(const std::string& word);

// A legal form no other word is spelled like: a line with digits and "SP" or "SA" may be an address
// (São Paulo's state), one with "GmbH" is a company.
bool IsPlainLegalForm(const std::string& word);

// A legal form among the line's words. One of two letters ("SA", "AG", "SP") is also a state's or a
// province's abbreviation ("Jd. Samara - SP - ..."): it counts only where legal forms stand, at the
// line's end or before another part of one ("Co., Ltd.", "Sp. z o.o.", "GmbH & Co. KG").
bool HasLegalForm(const std::string& line);

bool IsHonorific(const std::string& word);

enum class Label { kNone, kWork, kCell, kFax };

// The telephone label just before a number: "T", "TEL", "Phone", "M", "Mobile", "F", "FAX" and their
// forms in other languages.
Label TelephoneLabel(const std::string& before);

bool IsParticle(const std::string& word);

// Opening hours ("Segunda à Sábado", "Montag bis Freitag") are no one's name.
bool IsWeekday(const std::string& word);

// A word that leads a street's name in the languages the card program reads ("Rua", "R.", "Av.",
// "Alameda", "Praça", "Calle", "Via", "Rue"); English and German ones follow the name.
bool IsStreetWord(const std::string& word);

// A telephone label, alone or with another ("Tel/Fax:", "Fones", "Cel.:"); one letter ("T") is too
// often a word's.
bool IsTelephoneLabelWord(const std::string& word);

// Legal forms of Chinese, Japanese and Korean companies, written inside the name without blanks.
bool HasCjkLegalForm(const std::string& line);

}  // namespace outside::card_rules
