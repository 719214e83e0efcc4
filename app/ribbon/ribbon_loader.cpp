#include "app/ribbon/ribbon_loader.h"

#include <QXmlStreamReader>
#include <charconv>

namespace {

bool ParseNumber(QStringView text, int& value) {
    const std::string bytes = text.toString().toStdString();
    auto [end, ec] = std::from_chars(bytes.data(), bytes.data() + bytes.size(), value);
    return ec == std::errc() && end == bytes.data() + bytes.size();
}

// A command ID: a number of the 16-bit command range.
bool ParseCommandId(const QXmlStreamAttributes& attributes, int& id) {
    return ParseNumber(attributes.value("id"), id) && id > 0 && id <= 0xFFFF;
}

int ImageIndex(const QXmlStreamAttributes& attributes, const char* name) {
    int index = -1;
    if (attributes.hasAttribute(name) && !ParseNumber(attributes.value(name), index)) index = -1;
    return index;
}

std::string Text(const QXmlStreamAttributes& attributes, const char* name) {
    return attributes.value(name).toString().toStdString();
}

class Loader {
  public:
    Loader(const std::string& xml, const StringLookup& strings)
        : reader_(QByteArray::fromStdString(xml)), strings_(strings) {}

    RibbonLoadResult Run() {
        while (reader_.readNextStartElement()) {
            if (reader_.name() == u"ribbon") {
                ReadRibbon();
            } else {
                Fault("the root element is not <ribbon>");
                reader_.skipCurrentElement();
            }
        }
        if (reader_.hasError())
            Fault("the layout stops being XML here (" + reader_.errorString().toStdString() +
                  "); the rest is left out");
        return std::move(result_);
    }

  private:
    void Fault(const std::string& what) {
        result_.errors.push_back("line " + std::to_string(reader_.lineNumber()) + ": " + what);
    }

    void ReadRibbon() {
        while (reader_.readNextStartElement()) {
            if (reader_.name() != u"category") {
                Fault("unknown element <" + reader_.name().toString().toStdString() + "> in the ribbon");
                reader_.skipCurrentElement();
                continue;
            }
            RibbonCategory category;
            const auto attributes = reader_.attributes();
            int string_id = 0;
            if (ParseNumber(attributes.value("name"), string_id))
                category.name = strings_(static_cast<unsigned>(string_id));
            else
                category.name = Text(attributes, "title");
            if (category.name.empty()) Fault("a category has no name");
            ReadCategory(category);
            result_.layout.categories.push_back(std::move(category));
        }
    }

    void ReadCategory(RibbonCategory& category) {
        while (reader_.readNextStartElement()) {
            if (reader_.name() != u"panel") {
                Fault("unknown element <" + reader_.name().toString().toStdString() + "> in a category");
                reader_.skipCurrentElement();
                continue;
            }
            RibbonPanel panel;
            panel.title = Text(reader_.attributes(), "title");
            while (reader_.readNextStartElement()) {
                if (reader_.name() != u"button") {
                    Fault("unknown element <" + reader_.name().toString().toStdString() + "> in a panel");
                    reader_.skipCurrentElement();
                    continue;
                }
                ReadButton(panel);
            }
            category.panels.push_back(std::move(panel));
        }
    }

    void ReadButton(RibbonPanel& panel) {
        const auto attributes = reader_.attributes();
        RibbonElement button;
        const bool usable = ParseCommandId(attributes, button.id);
        if (!usable) Fault("a button has no usable command ID (\"" + Text(attributes, "id") + "\")");
        button.text = Text(attributes, "text");
        button.large_image = ImageIndex(attributes, "image");
        button.small_image = button.large_image;
        while (reader_.readNextStartElement()) {
            RibbonItem item;
            if (reader_.name() == u"item" && ParseCommandId(reader_.attributes(), item.id)) {
                item.text = Text(reader_.attributes(), "text");
                button.items.push_back(std::move(item));
            } else {
                Fault("a menu entry that is not an <item> with a usable command ID");
            }
            reader_.skipCurrentElement();
        }
        if (usable) panel.elements.push_back(std::move(button));
    }

    QXmlStreamReader reader_;
    const StringLookup& strings_;
    RibbonLoadResult result_;
};

}  // namespace

RibbonLoadResult LoadRibbonLayout(const std::string& xml, const StringLookup& strings) {
    return Loader(xml, strings).Run();
}
