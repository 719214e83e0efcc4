#pragma once
// The country a card's numbers are dialled in. The card program is told the card's language only, and a
// language is spoken in several countries: a Brazilian card comes as Portuguese, an Indian one as English.

#include <string>
#include <vector>

#include "outside/zorvex/card_fields.h"

namespace outside {

// The country (ISO 3166) of an import file's language code ("PT": "PT", "GR": "DE"); "" where the
// language names none (English).
std::string LanguageRegion(const std::string& language);

// Where a card in `language` (an import file's code) is most likely from, for a user in `locale`
// ("pt_BR.UTF-8", as the environment names it): the locale's country where the locale is of the card's
// language (a Brazilian reads Brazilian cards in Portuguese), else the language's (see LanguageRegion).
std::string HomeRegion(const std::string& language, const std::string& locale);

// The card's own country, from its lines' text: the one its numbers printed after a '+' dial, its e-mail
// and web addresses' country domains name ("terra.com.br") or its address shows (a Portuguese card's
// Brazilian postal code or state), the most named, `region` of as many; else `region`.
std::string RegionOnCard(const std::vector<std::string>& lines, const std::string& region);
// The same of a card's layout lines.
std::string RegionOnCard(const std::vector<LayoutLine>& lines, const std::string& region);

}  // namespace outside
