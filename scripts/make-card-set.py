#!/usr/bin/env python3
"""Draws the synthetic part of the card development set (tests/data/cards/synthetic) and writes its
manifest sections: made-up people on cards in several languages and layouts, printed in Debian's fonts
(fonts-liberation2, fonts-urw-base35, fonts-freefont-ttf, fonts-dejavu-core) and then made to look
photographed: turned a little, blurred, with uneven light, sensor noise and JPEG. The pictures are
drawn by ImageMagick; the same seed gives the same set.

    scripts/make-card-set.py OUT_FOLDER MANIFEST_PART
"""

import os
import random
import subprocess
import sys

FONTS = {
    "sans": ("/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
             "/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf"),
    "nimbus": ("/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf",
               "/usr/share/fonts/opentype/urw-base35/NimbusSans-Bold.otf"),
    "serif": ("/usr/share/fonts/truetype/liberation2/LiberationSerif-Regular.ttf",
              "/usr/share/fonts/truetype/liberation2/LiberationSerif-Bold.ttf"),
    "gothic": ("/usr/share/fonts/opentype/urw-base35/URWGothic-Book.otf",
               "/usr/share/fonts/opentype/urw-base35/URWGothic-Demi.otf"),
    "palatino": ("/usr/share/fonts/opentype/urw-base35/P052-Roman.otf",
                 "/usr/share/fonts/opentype/urw-base35/P052-Bold.otf"),
    "free": ("/usr/share/fonts/truetype/freefont/FreeSans.ttf",
             "/usr/share/fonts/truetype/freefont/FreeSansBold.ttf"),
    "dejavu": ("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
               "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"),
    "condensed": ("/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed.ttf",
                  "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf"),
}

# name, title, organisation, [(kind, printed label, printed number, E.164)], e-mail line, e-mail,
# web, [address lines], language code of the import file, region
CARDS = [
    ("Laura Becker", "Vertriebsleiterin", "Nordlicht Optik GmbH",
     [("WORK", "Tel.", "+49 30 2345 6780", "+493023456780"),
      ("CELL", "Mobil", "+49 151 2345 6789", "+4915123456789"),
      ("FAX", "Fax", "+49 30 2345 6789", "+493023456789")],
     "laura.becker@nordlicht-optik.de", "laura.becker@nordlicht-optik.de", "www.nordlicht-optik.de",
     ["Friedrichstraße 112", "10117 Berlin"], "GR", "DE"),
    ("Jonas Hartmann", "Geschäftsführer", "Hartmann & Söhne KG",
     [("WORK", "Telefon", "089 4567 1230", "+498945671230"),
      ("CELL", "Mobil", "0171 9876543", "+491719876543")],
     "E-Mail: j.hartmann@hartmann-soehne.de", "j.hartmann@hartmann-soehne.de", "",
     ["Leopoldstraße 27", "80802 München"], "GR", "DE"),
    ("Dr. Sabine Wolf", "Leiterin Forschung", "Kessler Medizintechnik AG",
     [("WORK", "T", "+49 711 889 4420", "+497118894420"),
      ("FAX", "F", "+49 711 889 4429", "+497118894429")],
     "sabine.wolf@kessler-med.de", "sabine.wolf@kessler-med.de", "www.kessler-med.de",
     ["Königstraße 8", "70173 Stuttgart"], "GR", "DE"),
    ("Claire Dubois", "Directrice commerciale", "Atelier Lumière SARL",
     [("WORK", "Tél.", "+33 1 42 68 53 00", "+33142685300"),
      ("CELL", "Port.", "06 12 34 56 78", "+33612345678")],
     "claire.dubois@atelier-lumiere.fr", "claire.dubois@atelier-lumiere.fr", "www.atelier-lumiere.fr",
     ["18 rue de la Paix", "75002 Paris"], "FR", "FR"),
    ("Marc Lefèvre", "Ingénieur d'études", "Optronique Rhône SAS",
     [("WORK", "Tél", "04 72 10 45 80", "+33472104580"),
      ("FAX", "Fax", "04 72 10 45 89", "+33472104589")],
     "Courriel : m.lefevre@optronique-rhone.fr", "m.lefevre@optronique-rhone.fr", "",
     ["45 quai Perrache", "69002 Lyon"], "FR", "FR"),
    ("Lucía Fernández", "Directora de Marketing", "Grupo Solana S.L.",
     [("WORK", "Tel.", "+34 912 345 678", "+34912345678"),
      ("CELL", "Móvil", "612 345 678", "+34612345678")],
     "lucia.fernandez@gruposolana.es", "lucia.fernandez@gruposolana.es", "www.gruposolana.es",
     ["Calle de Alcalá 45", "28014 Madrid"], "SP", "ES"),
    ("Javier Romero", "Ingeniero de Ventas", "Tecnologías Ibéricas S.A.",
     [("WORK", "Tel", "93 412 56 70", "+34934125670")],
     "E-mail: jromero@tecnoiberica.es", "jromero@tecnoiberica.es", "www.tecnoiberica.es",
     ["Passeig de Gràcia 21", "08007 Barcelona"], "SP", "ES"),
    ("Giulia Rossi", "Responsabile Acquisti", "Ottica Lombarda S.r.l.",
     [("WORK", "Tel.", "+39 02 8765 4321", "+390287654321"),
      ("CELL", "Cell.", "+39 347 123 4567", "+393471234567")],
     "giulia.rossi@otticalombarda.it", "giulia.rossi@otticalombarda.it", "www.otticalombarda.it",
     ["Via Montenapoleone 12", "20121 Milano"], "IT", "IT"),
    ("Marco Bianchi", "Direttore Tecnico", "Bianchi Sistemi S.p.A.",
     [("WORK", "Tel", "06 4567 8901", "+390645678901"),
      ("FAX", "Fax", "06 4567 8909", "+390645678909")],
     "m.bianchi@bianchisistemi.it", "m.bianchi@bianchisistemi.it", "",
     ["Via del Corso 88", "00186 Roma"], "IT", "IT"),
    ("Sanne de Vries", "Projectleider", "Polder Imaging B.V.",
     [("WORK", "T", "+31 20 123 4567", "+31201234567"),
      ("CELL", "M", "+31 6 1234 5678", "+31612345678")],
     "sanne.devries@polderimaging.nl", "sanne.devries@polderimaging.nl", "www.polderimaging.nl",
     ["Herengracht 420", "1017 BZ Amsterdam"], "DU", "NL"),
    ("Piotr Kowalski", "Kierownik Sprzedaży", "Optima Systemy Sp. z o.o.",
     [("WORK", "Tel.", "+48 22 123 45 67", "+48221234567"),
      ("CELL", "Kom.", "+48 512 345 678", "+48512345678")],
     "p.kowalski@optimasystemy.pl", "p.kowalski@optimasystemy.pl", "www.optimasystemy.pl",
     ["ul. Marszałkowska 84", "00-514 Warszawa"], "PL", "PL"),
    ("Erik Lindqvist", "Försäljningschef", "Nordisk Bildteknik AB",
     [("WORK", "Tel", "+46 8 123 456 78", "+46812345678"),
      ("CELL", "Mobil", "+46 70 123 45 67", "+46701234567")],
     "erik.lindqvist@bildteknik.se", "erik.lindqvist@bildteknik.se", "www.bildteknik.se",
     ["Drottninggatan 53", "111 21 Stockholm"], "SW", "SE"),
    ("Ana Martins", "Gestora de Projetos", "Luz Atlântica Lda.",
     [("WORK", "Tel.", "+351 21 123 4567", "+351211234567"),
      ("CELL", "Telem.", "+351 912 345 678", "+351912345678")],
     "ana.martins@luzatlantica.pt", "ana.martins@luzatlantica.pt", "",
     ["Avenida da Liberdade 110", "1250-146 Lisboa"], "PT", "PT"),
    ("Tomáš Novák", "Obchodní ředitel", "Optika Praha s.r.o.",
     [("WORK", "Tel.", "+420 221 234 567", "+420221234567"),
      ("CELL", "Mobil", "+420 602 123 456", "+420602123456")],
     "tomas.novak@optikapraha.cz", "tomas.novak@optikapraha.cz", "www.optikapraha.cz",
     ["Václavské náměstí 19", "110 00 Praha 1"], "CZ", "CZ"),
    ("Mikkel Jensen", "Salgschef", "Dansk Kamera ApS",
     [("WORK", "Tlf.", "+45 33 12 34 56", "+4533123456"),
      ("CELL", "Mobil", "+45 20 12 34 56", "+4520123456")],
     "mj@danskkamera.dk", "mj@danskkamera.dk", "www.danskkamera.dk",
     ["Vesterbrogade 10", "1620 København V"], "DA", "DK"),
    ("Aino Virtanen", "Myyntipäällikkö", "Revontuli Optiikka Oy",
     [("WORK", "Puh.", "+358 9 1234 5678", "+358912345678")],
     "aino.virtanen@revontuli.fi", "aino.virtanen@revontuli.fi", "www.revontuli.fi",
     ["Mannerheimintie 12", "00100 Helsinki"], "Fin", "FI"),
    ("Mehmet Yılmaz", "Satış Müdürü", "Anadolu Görüntü A.Ş.",
     [("WORK", "Tel", "+90 212 345 67 89", "+902123456789"),
      ("CELL", "Gsm", "+90 532 123 45 67", "+905321234567")],
     "mehmet.yilmaz@anadolugoruntu.com.tr", "mehmet.yilmaz@anadolugoruntu.com.tr", "",
     ["Büyükdere Cad. No:45", "34394 İstanbul"], "TUR", "TR"),
    ("Kenji Tanaka", "Sales Manager", "Tanaka Precision K.K.",
     [("WORK", "TEL", "+81-3-6860-8606", "+81368608606"),
      ("FAX", "FAX", "+81-3-6860-8607", "+81368608607")],
     "E-mail. k.tanaka@tanaka-precision.jp", "k.tanaka@tanaka-precision.jp", "www.tanaka-precision.jp",
     ["2-4-1 Shibakoen, Minato-ku", "Tokyo 105-0011"], "JP", "JP"),
    ("Park Ji-hoon", "Senior Engineer", "Daegu Vision Co., Ltd.",
     [("WORK", "T.", "+82.53.814.2465", "+82538142465"),
      ("CELL", "M.", "+82.10.2345.6789", "+821023456789")],
     "E-mail. jihoon.park@daeguvision.kr", "jihoon.park@daeguvision.kr", "",
     ["123 Dalgubeol-daero, Suseong-gu", "Daegu 42011, Korea"], "EN", ""),
    ("Emily Carter", "Product Designer", "Brightline Studio Ltd",
     [("WORK", "T", "020 7946 0958", "+442079460958"),
      ("CELL", "M", "07700 900123", "+447700900123")],
     "emily@brightline.co.uk", "emily@brightline.co.uk", "www.brightline.co.uk",
     ["14 Shoreditch High Street", "London E1 6JE"], "EN", "GB"),
    ("Oliver Grant", "Chief Financial Officer", "Harbour Capital plc",
     [("WORK", "Tel", "+44 131 496 0123", "+441314960123"),
      ("FAX", "Fax", "+44 131 496 0124", "+441314960124")],
     "oliver.grant@harbourcapital.co.uk", "oliver.grant@harbourcapital.co.uk", "",
     ["22 George Street", "Edinburgh EH2 2PF"], "EN", "GB"),
    ("Sarah Mitchell", "Marketing Director", "Bluewave Technologies Inc.",
     [("WORK", "Phone:", "(415) 555-0132", "+14155550132"),
      ("CELL", "Mobile:", "(415) 555-0177", "+14155550177")],
     "Email: sarah.mitchell@bluewave.com", "sarah.mitchell@bluewave.com", "www.bluewave.com",
     ["350 Mission Street, Suite 200", "San Francisco, CA 94105"], "EN", "US"),
    ("James Rodriguez", "Account Executive", "Summit Logistics LLC",
     [("WORK", "Office", "312-555-0148", "+13125550148"),
      ("CELL", "Cell", "312-555-0193", "+13125550193"),
      ("FAX", "Fax", "312-555-0149", "+13125550149")],
     "jrodriguez@summitlogistics.com", "jrodriguez@summitlogistics.com", "summitlogistics.com",
     ["1200 W Madison St", "Chicago, IL 60607"], "EN", "US"),
    ("Priya Sharma", "Software Architect", "Cobalt Data Corp.",
     [("WORK", "P", "+1 206 555 0110", "+12065550110")],
     "priya.sharma@cobaltdata.io", "priya.sharma@cobaltdata.io", "www.cobaltdata.io",
     [], "EN", "US"),
    ("Michael O'Brien", "Attorney at Law", "O'Brien & Walsh",
     [("WORK", "Tel", "(617) 555-0123", "+16175550123"),
      ("FAX", "Fax", "(617) 555-0124", "+16175550124")],
     "mobrien@obrienwalsh.com", "mobrien@obrienwalsh.com", "",
     ["75 State Street", "Boston, MA 02109"], "EN", "US"),
    ("Hannah Schmidt", "", "Café Sonnenschein",
     [("WORK", "Tel.", "0221 123456", "+49221123456")],
     "hallo@cafe-sonnenschein.de", "hallo@cafe-sonnenschein.de", "www.cafe-sonnenschein.de",
     ["Ehrenstraße 41", "50672 Köln"], "GR", "DE"),
    ("Felix Weber", "Softwareentwickler", "Datenwerk GmbH",
     [("CELL", "M", "+49 160 1234567", "+491601234567")],
     "felix.weber@datenwerk.de", "felix.weber@datenwerk.de", "www.datenwerk.de",
     [], "GR", "DE"),
    ("Sophie Martin", "Consultante", "Conseil & Stratégie SA",
     [("WORK", "T", "+41 22 345 67 89", "+41223456789"),
      ("CELL", "M", "+41 79 123 45 67", "+41791234567")],
     "sophie.martin@conseil-strategie.ch", "sophie.martin@conseil-strategie.ch", "www.conseil-strategie.ch",
     ["Rue du Rhône 30", "1204 Genève"], "FR", "CH"),
    ("Daniel Weiss", "Senior Consultant", "Alpine Data Solutions GmbH",
     [("WORK", "Tel", "+43 1 234 5678", "+4312345678"),
      ("CELL", "Mobil", "+43 664 123 4567", "+436641234567")],
     "daniel.weiss@alpinedata.at", "daniel.weiss@alpinedata.at", "www.alpinedata.at",
     ["Mariahilfer Straße 77", "1060 Wien"], "GR", "AT"),
    ("Isabel Costa", "Arquiteta", "Costa Arquitetura Ltda.",
     [("WORK", "Tel.", "+55 11 3456-7890", "+551134567890"),
      ("CELL", "Cel.", "+55 11 98765-4321", "+5511987654321")],
     "isabel@costaarquitetura.com.br", "isabel@costaarquitetura.com.br", "www.costaarquitetura.com.br",
     ["Av. Paulista 1000", "01310-100 São Paulo"], "PT", "BR"),
    ("Carlos Mendoza", "Gerente General", "Andes Comercial S.A.",
     [("WORK", "Tel.", "+56 2 2345 6789", "+56223456789")],
     "cmendoza@andescomercial.cl", "cmendoza@andescomercial.cl", "",
     [], "SP", "CL"),
    ("Lars Pedersen", "Daglig leder", "Fjord Foto AS",
     [("WORK", "Tlf", "+47 22 12 34 56", "+4722123456"),
      ("CELL", "Mobil", "+47 912 34 567", "+4791234567")],
     "lars@fjordfoto.no", "lars@fjordfoto.no", "www.fjordfoto.no",
     ["Karl Johans gate 5", "0154 Oslo"], "Nor", "NO"),
    ("Eszter Nagy", "Értékesítési vezető", "Duna Optika Kft.",
     [("WORK", "Tel.", "+36 1 234 5678", "+3612345678"),
      ("CELL", "Mobil", "+36 30 123 4567", "+36301234567")],
     "eszter.nagy@dunaoptika.hu", "eszter.nagy@dunaoptika.hu", "www.dunaoptika.hu",
     ["Andrássy út 60", "1062 Budapest"], "HUN", "HU"),
    ("Anna Kowalczyk", "Księgowa", "Biuro Rachunkowe Kowalczyk",
     [("WORK", "Tel.", "+48 12 345 67 89", "+48123456789")],
     "biuro@kowalczyk.pl", "biuro@kowalczyk.pl", "",
     ["ul. Floriańska 15", "31-019 Kraków"], "PL", "PL"),
    ("Thomas Müller", "Vertrieb Außendienst", "Müller Werkzeugbau GmbH & Co. KG",
     [("WORK", "Tel", "+49 7131 56780", "+49713156780"),
      ("FAX", "Fax", "+49 7131 56789", "+49713156789"),
      ("CELL", "Handy", "+49 172 3456789", "+491723456789")],
     "t.mueller@mueller-werkzeugbau.de", "t.mueller@mueller-werkzeugbau.de", "www.mueller-werkzeugbau.de",
     ["Industriestraße 5", "74072 Heilbronn"], "GR", "DE"),
    ("Rachel Green", "", "Green Leaf Bakery",
     [("WORK", "", "(212) 555-0187", "+12125550187")],
     "hello@greenleafbakery.com", "hello@greenleafbakery.com", "www.greenleafbakery.com",
     ["88 Bleecker Street", "New York, NY 10012"], "EN", "US"),
    ("David Chen", "Vice President, Engineering", "Lumen Robotics Inc.",
     [("WORK", "T", "+1 650 555 0142", "+16505550142"),
      ("CELL", "M", "+1 650 555 0198", "+16505550198")],
     "david.chen@lumenrobotics.com", "david.chen@lumenrobotics.com", "lumenrobotics.com",
     ["2100 Geng Road", "Palo Alto, CA 94303"], "EN", "US"),
    ("Chloé Bernard", "Chef de projet", "Digitale Ouest SARL",
     [("WORK", "Tél. :", "02 99 12 34 56", "+33299123456"),
      ("CELL", "Mob. :", "07 12 34 56 78", "+33712345678")],
     "chloe.bernard@digitale-ouest.fr", "chloe.bernard@digitale-ouest.fr", "www.digitale-ouest.fr",
     ["12 place de la République", "35000 Rennes"], "FR", "FR"),
    ("Matteo Ricci", "Architetto", "Studio Ricci Architetti",
     [("WORK", "T.", "+39 055 123 4567", "+390551234567"),
      ("CELL", "M.", "+39 333 765 4321", "+393337654321")],
     "matteo@studioricci.it", "matteo@studioricci.it", "www.studioricci.it",
     ["Via de' Tornabuoni 7", "50123 Firenze"], "IT", "IT"),
    ("Jan Janssen", "Accountmanager", "Vlaamse Druk NV",
     [("WORK", "Tel.", "+32 3 123 45 67", "+3231234567"),
      ("CELL", "GSM", "+32 475 12 34 56", "+32475123456")],
     "jan.janssen@vlaamsedruk.be", "jan.janssen@vlaamsedruk.be", "www.vlaamsedruk.be",
     ["Meir 24", "2000 Antwerpen"], "DU", "BE"),
    ("Olga Petrova", "Sales Manager", "Baltic Imaging OÜ",
     [("WORK", "Tel", "+372 612 3456", "+3726123456"),
      ("CELL", "Mob", "+372 5123 4567", "+37251234567")],
     "olga.petrova@balticimaging.ee", "olga.petrova@balticimaging.ee", "www.balticimaging.ee",
     ["Narva mnt 5", "10117 Tallinn"], "EN", "EE"),
    ("Nikolaos Papadopoulos", "Managing Director", "Aegean Optics S.A.",
     [("WORK", "Tel.", "+30 210 123 4567", "+302101234567"),
      ("CELL", "Mob.", "+30 694 123 4567", "+306941234567")],
     "n.papadopoulos@aegeanoptics.gr", "n.papadopoulos@aegeanoptics.gr", "www.aegeanoptics.gr",
     ["Ermou 25", "105 63 Athens"], "EN", "GR"),
    ("Amelia Clarke", "Head of Operations", "Kestrel Freight Pty Ltd",
     [("WORK", "Ph", "+61 2 9876 5432", "+61298765432"),
      ("CELL", "Mob", "0412 345 678", "+61412345678")],
     "amelia.clarke@kestrelfreight.com.au", "amelia.clarke@kestrelfreight.com.au", "www.kestrelfreight.com.au",
     ["Level 5, 60 Martin Place", "Sydney NSW 2000"], "EN", "AU"),
    ("Ryan Thompson", "Sales Representative", "Maple Leaf Print Corp.",
     [("WORK", "Tel", "416-555-0161", "+14165550161"),
      ("FAX", "Fax", "416-555-0162", "+14165550162")],
     "rthompson@mapleleafprint.ca", "rthompson@mapleleafprint.ca", "www.mapleleafprint.ca",
     ["200 Bay Street", "Toronto, ON M5J 2J2"], "EN", "CA"),
]

LAYOUTS = ["left", "centered", "org_top", "two_column", "right_block", "bottom_bar"]


def card_lines(card, layout, rnd):
    """The printed lines: (text, size in points at 300 dpi, bold, x, y, anchor)."""
    (name, title, org, tels, email_line, _email, web, address, _lang, _region) = card
    contact = []
    sep = rnd.choice([" ", "  "])
    for kind, label, printed, _e164 in tels:
        contact.append((label + sep + printed).strip())
    contact.append(email_line)
    if web:
        contact.append(web)
    big, mid, small = rnd.choice([(56, 32, 24), (50, 30, 22), (62, 34, 25)])
    org_size = rnd.choice([big + 8, mid + 6, big - 6])
    W, H = 1050, 600
    lines = []
    if layout == "left":
        lines.append((org, org_size, True, 60, 70, "w"))
        lines.append((name, big, True, 60, 200, "w"))
        if title:
            lines.append((title, mid, False, 60, 250, "w"))
        y = 330
        for t in address + contact:
            lines.append((t, small, False, 60, y, "w"))
            y += 34
    elif layout == "centered":
        lines.append((name, big, True, W // 2, 90, "c"))
        if title:
            lines.append((title, mid, False, W // 2, 140, "c"))
        lines.append((org.upper() if rnd.random() < 0.5 else org, org_size, True, W // 2, 220, "c"))
        y = 320
        for t in contact + address:
            lines.append((t, small, False, W // 2, y, "c"))
            y += 32
    elif layout == "org_top":
        lines.append((org, max(org_size, big + 4), True, 60, 80, "w"))
        lines.append((name, mid + 6, True, 60, 210, "w"))
        if title:
            lines.append((title, small + 2, False, 60, 255, "w"))
        y = 340
        for t in contact:
            lines.append((t, small, False, 60, y, "w"))
            y += 32
        y = 340
        for t in address:
            lines.append((t, small, False, 620, y, "w"))
            y += 32
    elif layout == "two_column":
        lines.append((name, big, True, 60, 120, "w"))
        if title:
            lines.append((title, mid, False, 60, 170, "w"))
        lines.append((org, min(org_size, mid + 6), True, 60, 470, "w"))
        y = 90
        for t in contact:
            lines.append((t, small, False, 600, y, "w"))
            y += 34
        y = max(y + 20, 380)
        for t in address:
            lines.append((t, small, False, 600, y, "w"))
            y += 34
    elif layout == "right_block":
        lines.append((org, org_size, True, W - 60, 80, "e"))
        lines.append((name, big, True, W - 60, 200, "e"))
        if title:
            lines.append((title, mid, False, W - 60, 248, "e"))
        y = 330
        for t in contact + address:
            lines.append((t, small, False, W - 60, y, "e"))
            y += 32
    else:  # bottom_bar
        lines.append((name, big, True, 60, 100, "w"))
        if title:
            lines.append((title, mid, False, 60, 150, "w"))
        lines.append((org, org_size, True, 60, 260, "w"))
        y = 350
        for t in address:
            lines.append((t, small, False, 60, y, "w"))
            y += 32
        phones = "   ".join(contact[: len(tels)])
        lines.append((phones, small, False, 60, max(y + 10, 470), "w"))
        y = max(y + 10, 470) + 34
        rest = "   ".join(contact[len(tels):])
        lines.append((rest, small, False, 60, y, "w"))
    return lines


def draw(card, index, folder, rnd):
    layout = LAYOUTS[index % len(LAYOUTS)]
    font_key = rnd.choice(list(FONTS))
    if any(ord(c) > 0x24F for c in "".join(card[0:3])):
        font_key = "dejavu"
    regular, bold = FONTS[font_key]
    paper = rnd.choice(["#fbfaf5", "#ffffff", "#f3f0e6", "#eef2f5"])
    ink = rnd.choice(["#111111", "#1d2a44", "#202020", "#2b2b2b"])
    accent = rnd.choice(["#1d4e89", "#8a1c1c", "#1c6b3a", "#111111", "#5b2a86"])
    args = ["convert", "-size", "1050x600", "xc:" + paper]
    for text, size, is_bold, x, y, anchor in card_lines(card, layout, rnd):
        gravity = {"w": "NorthWest", "c": "North", "e": "NorthEast"}[anchor]
        gx = x if anchor == "w" else (0 if anchor == "c" else 1050 - x)
        args += ["-gravity", gravity, "-font", bold if is_bold else regular,
                 "-pointsize", str(size), "-fill",
                 accent if is_bold and rnd.random() < 0.5 else ink,
                 "-annotate", "+%d+%d" % (gx, y - size), text.replace("%", "%%")]
    # Photographed: uneven light, a slight turn, lens blur, noise, JPEG.
    angle = rnd.uniform(-1.8, 1.8)
    args += ["-gravity", "NorthWest",
             "(", "-size", "1050x600", "gradient:#ffffff-#d8d8d8", "-rotate", str(rnd.choice([0, 90, 180])),
             "-resize", "1050x600!", ")", "-compose", "multiply", "-composite",
             "-background", "#6b6257", "-rotate", "%.2f" % angle,
             "-blur", "0x%.2f" % rnd.uniform(0.5, 1.1),
             "-attenuate", "%.2f" % rnd.uniform(0.25, 0.5), "+noise", "Gaussian",
             "-quality", str(rnd.randint(72, 88))]
    name = "synthetic-%02d.jpg" % (index + 1)
    subprocess.run(args + [os.path.join(folder, name)], check=True)
    return name, layout, font_key


def main():
    folder, manifest = sys.argv[1], sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    rnd = random.Random(26)
    sections = []
    for index, card in enumerate(CARDS):
        (name, title, org, tels, _line, email, web, address, lang, region) = card
        picture, layout, font = draw(card, index, folder, rnd)
        tel = " | ".join("%s:%s" % (kind, e164) for kind, _l, _p, e164 in tels)
        fields = [("set", "synthetic"), ("source", "scripts/make-card-set.py, layout %s, font %s" % (layout, font)),
                  ("licence", "made for this project"), ("language", lang), ("region", region),
                  ("cut", "whole"), ("name", name), ("title", title), ("organisation", org), ("tel", tel),
                  ("email", email), ("web", web), ("address", ", ".join(address))]
        sections.append("[synthetic/%s]\n" % picture +
                        "".join("%s=%s\n" % (k, v) for k, v in fields if v))
    with open(manifest, "w", encoding="utf-8") as out:
        out.write("\n".join(sections))


if __name__ == "__main__":
    main()
