// Writes what the editors built on MLT need to offer the frei0r modules, made from the one
// parameter table and the modules' own value rules, so no name, range, default or choice is
// written twice:
//   DIR/kdenlive/frei0r_zentrilox.xml             Kdenlive's effect
//   DIR/kdenlive/frei0r_zentrilox_transition.xml  Kdenlive's composition
//   DIR/shotcut/zentrilox/meta.qml, ui.qml        Shotcut's filter
//
// usage: zx_write_descriptions DIR
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

#include "frei0r/param_mapping.h"
#include "frei0r/param_text.h"
#include "host/effect_info.h"

namespace {

using zx::frei0r::kParams;
using zx::frei0r::kTransitionParam;
using zx::frei0r::kUserParamCount;
using zx::frei0r::Module;

constexpr const char* kFilterDescription =
    "Cuts the picture into rectangular blocks that travel to random targets as Completion goes "
    "from 0 % to 100 %.";
constexpr const char* kTransitionDescription =
    "The first clip's blocks shuffle away, then the second's shuffle into place.";

// Six significant digits, as Kdenlive prints a number, so that a list's default matches its
// item; every value still maps back to its own slider step or choice.
std::string number(double x) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", x);
    return text;
}

std::string xml_escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// The frei0r value of the k-th selectable choice, and of a slider's position `value`.
double choice_value(const ParamEntry& p, int k) {
    return static_cast<double>(k) / (selectable_count(p) - 1);
}

double slider_value(const ParamEntry& p, int value) {
    return static_cast<double>(value - p.slider_min) / (p.slider_max - p.slider_min);
}

std::string hex_color(const ParamColor& c) {
    char text[16];
    std::snprintf(text, sizeof text, "%02x%02x%02x", c.red, c.green, c.blue);
    return text;
}

// Kdenlive: a slider is shown as its frei0r value times `factor`, which cannot shift a range
// that starts above 0; such sliders (Row, Column and the strip sizes) become lists of every
// step, so the panel shows and sets exactly the effect's numbers.
void kdenlive_list(std::ostream& out, const std::string& name, const std::string& dephault,
                   const std::string& values, const std::string& display) {
    out << "    <parameter type=\"list\" name=\"" << name << "\" default=\"" << dephault
        << "\" paramlist=\"" << values << "\">\n        <paramlistdisplay>" << xml_escaped(display)
        << "</paramlistdisplay>\n";
}

void kdenlive_param(std::ostream& out, Module module, std::size_t i) {
    const ParamEntry& p = param_entry(kParams[i]);
    const std::string name = zx::frei0r::param_name(module, i);
    const std::string dephault = number(zx::frei0r::default_of(p));
    switch (p.type) {
        case ParamType::popup: {
            std::string values, display;
            for (int k = 0; k < selectable_count(p); ++k) {
                values += (k ? ";" : "") + number(choice_value(p, k));
                display +=
                    (k ? "," : "") + std::string(choice_item(p.choices, selectable_number(p, k)));
            }
            kdenlive_list(out, name, dephault, values, display);
            break;
        }
        case ParamType::slider:
            if (p.slider_min == 0) {
                out << "    <parameter type=\"constant\" name=\"" << name << "\" default=\""
                    << dephault << "\" min=\"0\" max=\"" << p.slider_max << "\" factor=\""
                    << p.slider_max << "\" decimals=\"0\">\n";
            } else {
                std::string values, display;
                for (int v = p.slider_min; v <= p.slider_max; ++v) {
                    values += (v > p.slider_min ? ";" : "") + number(slider_value(p, v));
                    display += (v > p.slider_min ? "," : "") + std::to_string(v);
                }
                kdenlive_list(out, name, dephault, values, display);
            }
            break;
        case ParamType::percent:
            out << "    <parameter type=\""
                << (p.index == kParamCompletion ? "animated" : "constant") << "\" name=\"" << name
                << "\" default=\"" << dephault
                << "\" min=\"0\" max=\"100\" factor=\"100\" decimals=\"" << p.precision
                << "\" suffix=\"%\">\n";
            break;
        case ParamType::color:
            out << "    <parameter type=\"color\" name=\"" << name << "\" default=\"0x"
                << hex_color(p.color) << "ff\">\n";
            break;
        default:
            return;
    }
    out << "        <name>" << xml_escaped(p.name) << "</name>\n    </parameter>\n";
}

std::string kdenlive_effect() {
    std::ostringstream out;
    out << "<?xml version=\"1.0\"?>\n<!DOCTYPE kpartgui>\n"
           "<effect LC_NUMERIC=\"C\" tag=\"frei0r.zentrilox\" id=\"frei0r.zentrilox\">\n"
        << "    <name>" << kEffectName << "</name>\n    <description>"
        << xml_escaped(kFilterDescription) << "</description>\n    <author>Varnok</author>\n";
    for (std::size_t i = 0; i < kUserParamCount; ++i) kdenlive_param(out, Module::filter, i);
    out << "</effect>\n";
    return out.str();
}

// The composition runs its transition from 0 on its first frame to 1 on its last ("-1"), or
// back when reversed, as Kdenlive's own wipes do.
std::string kdenlive_transition() {
    std::ostringstream out;
    out << "<?xml version=\"1.0\"?>\n<!DOCTYPE kpartgui>\n"
           "<transition LC_NUMERIC=\"C\" tag=\"frei0r.zentrilox_transition\" "
           "id=\"frei0r.zentrilox_transition\">\n"
        << "    <name>" << kEffectName << "</name>\n    <description>"
        << xml_escaped(kTransitionDescription) << "</description>\n    <author>Varnok</author>\n";
    for (std::size_t i = 0; i < kUserParamCount; ++i) {
        if (i != kTransitionParam) {
            kdenlive_param(out, Module::mixer, i);
            continue;
        }
        out << "    <parameter type=\"switch\" name=\"" << zx::frei0r::param_name(Module::mixer, i)
            << "\" min=\"0=0;-1=1\" max=\"0=1;-1=0\" default=\"0=0;-1=1\">\n"
               "        <name>Reverse</name>\n    </parameter>\n";
    }
    out << "</transition>\n";
    return out.str();
}

std::string shotcut_meta() {
    const ParamEntry& completion = param_entry(kParamCompletion);
    std::ostringstream out;
    out << "import QtQuick 2.0\nimport org.shotcut.qml 1.0\n\nMetadata {\n"
           "    type: Metadata.Filter\n    objectName: 'zentrilox'\n    name: \""
        << kEffectName
        << "\"\n    keywords: 'block shuffle transition random'\n"
           "    mlt_service: 'frei0r.zentrilox'\n    qml: 'ui.qml'\n\n    keyframes {\n"
           "        allowAnimateIn: true\n        allowAnimateOut: true\n        simpleProperties: "
           "['"
        << completion.short_name
        << "']\n        parameters: [\n            Parameter {\n                name: '"
        << completion.name << "'\n                property: '" << completion.short_name
        << "'\n                isCurve: true\n                minimum: 0\n                "
           "maximum: 1\n            }\n        ]\n    }\n}\n";
    return out.str();
}

// Shotcut: one row per parameter (label, control, reset button, and for Completion the
// keyframes button), hidden while the popup its rule names holds a choice that does not use
// it. Every control converts between the effect's units and the frei0r value by the module's
// rules; `row_props` and the functions below are the one place per kind.
struct QmlKind {
    std::string control, to_frei0r, from_frei0r;
};

QmlKind qml_kind(const ParamEntry& p, const std::string& id) {
    const std::string n = p.type == ParamType::popup ? std::to_string(selectable_count(p) - 1) : "";
    switch (p.type) {
        case ParamType::popup: {
            std::string model;
            for (int k = 0; k < selectable_count(p); ++k) {
                model += (k ? ", '" : "'") +
                         std::string(choice_item(p.choices, selectable_number(p, k))) + "'";
            }
            return {"Shotcut.ComboBox {\n            id: " + id +
                        "\n            implicitWidth: 200\n            model: [" + model +
                        "]\n            onActivated: setParam('" + std::string(p.short_name) +
                        "', currentIndex / " + n + ")\n        }",
                    id + ".currentIndex / " + n,
                    id + ".currentIndex = Math.round(filter.getDouble('" +
                        std::string(p.short_name) + "') * " + n + ")"};
        }
        case ParamType::color:
            return {"Shotcut.ColorPicker {\n            id: " + id +
                        "\n            eyedropper: false\n            onValueChanged: "
                        "setParam('" +
                        std::string(p.short_name) + "', value)\n        }",
                    id + ".value", id + ".value = filter.get('" + std::string(p.short_name) + "')"};
        default: {
            const bool percent = p.type == ParamType::percent;
            const std::string lo = std::to_string(percent ? 0 : p.slider_min);
            const std::string span = std::to_string(percent ? 100 : p.slider_max - p.slider_min);
            const std::string position = p.index == kParamCompletion ? ", getPosition()" : "";
            return {"Shotcut.SliderSpinner {\n            id: " + id +
                        "\n            minimumValue: " + lo + "\n            maximumValue: " +
                        std::to_string(percent ? 100 : p.slider_max) +
                        "\n            stepSize: " + (percent ? "0.1" : "1") +
                        "\n            decimals: " + std::to_string(percent ? p.precision : 0) +
                        (percent ? "\n            suffix: ' %'" : "") +
                        "\n            onValueChanged: setParam('" + std::string(p.short_name) +
                        "', (value - " + lo + ") / " + span + position + ")\n        }",
                    "(" + id + ".value - " + lo + ") / " + span,
                    id + ".value = " + lo + " + " + (percent ? "" : "Math.round(") +
                        "filter.getDouble('" + std::string(p.short_name) + "'" + position + ") * " +
                        span + (percent ? "" : ")")};
        }
    }
}

std::string qml_id(const ParamEntry& p) {
    return std::string(p.script_name) + "Control";
}

std::string shotcut_ui() {
    std::ostringstream out;
    std::string defaults, names, set_controls;
    std::string rows;
    for (std::size_t i = 0; i < kUserParamCount; ++i) {
        const ParamEntry& p = param_entry(kParams[i]);
        const std::string id = qml_id(p);
        const QmlKind kind = qml_kind(p, id);
        const std::string name(p.short_name);
        defaults += "        filter.set('" + name + "', " +
                    (p.type == ParamType::color ? "'#" + hex_color(p.color) + "'"
                                                : number(zx::frei0r::default_of(p))) +
                    ");\n";
        names += (i ? ", '" : "'") + name + "'";
        set_controls += "        " + kind.from_frei0r + ";\n";
        std::string visible;
        if (p.shown_when.popup != kParamInput) {
            const ParamEntry& popup = param_entry(p.shown_when.popup);
            for (int k = 0; k < selectable_count(popup); ++k) {
                if (!param_shown(p, selectable_number(popup, k))) continue;
                visible += (visible.empty() ? "" : " || ") + qml_id(popup) +
                           ".currentIndex === " + std::to_string(k);
            }
            visible = "\n            visible: " + visible;
        }
        const std::string reset = p.type == ParamType::color
                                      ? id + ".value = '#" + hex_color(p.color) + "'"
                                      : "{ filter.set('" + name + "', " +
                                            number(zx::frei0r::default_of(p)) +
                                            "); setControls() }";
        std::string control = kind.control;
        control.insert(control.find('\n', control.find("id: ")), visible);
        rows += "        Label {\n            text: '" + std::string(p.name) +
                "'\n            Layout.alignment: Qt.AlignRight" + visible +
                "\n        }\n        " + control +
                "\n        Shotcut.UndoButton {\n            onClicked: " + reset + visible +
                "\n        }\n";
        if (p.index == kParamCompletion) {
            rows +=
                "        Shotcut.KeyframesButton {\n            id: keyframesButton\n"
                "            onToggled: {\n                enableControls(true);\n"
                "                toggleKeyframes(checked, '" +
                name + "', " + kind.to_frei0r + ");\n            }\n        }\n";
        } else {
            rows += "        Item { width: 1; height: 1" + visible + " }\n";
        }
    }
    const std::string completion(param_entry(kParamCompletion).short_name);
    const std::string completion_id = qml_id(param_entry(kParamCompletion));
    out << "import QtQuick 2.12\nimport QtQuick.Controls 2.12\nimport QtQuick.Layouts 1.12\n"
           "import Shotcut.Controls 1.0 as Shotcut\n\n"
           "Shotcut.KeyframableFilter {\n"
           "    keyframableParameters: ['"
        << completion << "']\n    startValues: [0]\n    middleValues: ["
        << number(zx::frei0r::default_of(param_entry(kParamCompletion)))
        << "]\n    endValues: [1]\n    width: 420\n    height: 420\n\n"
           "    function setParam(name, value, position) {\n"
           "        if (blockUpdate) return;\n"
           "        if (name === '"
        << completion
        << "') updateFilter(name, value, keyframesButton, position);\n"
           "        else filter.set(name, value);\n    }\n\n"
           "    function setControls() {\n        blockUpdate = true;\n"
        << set_controls
        << "        keyframesButton.checked = filter.animateIn <= 0 && filter.animateOut <= 0 && "
           "filter.keyframeCount('"
        << completion << "') > 0;\n        blockUpdate = false;\n"
        << "        enableControls(isSimpleKeyframesActive());\n    }\n\n"
           "    function enableControls(enabled) {\n        "
        << completion_id
        << ".enabled = enabled;\n    }\n\n"
           "    function updateSimpleKeyframes() {\n        setControls();\n"
           "        updateFilter('"
        << completion << "', " << qml_kind(param_entry(kParamCompletion), completion_id).to_frei0r
        << ", keyframesButton, null);\n    }\n\n"
           "    Component.onCompleted: {\n        if (filter.isNew) {\n"
        << defaults
        << "            filter.savePreset(preset.parameters);\n        }\n        setControls();\n"
           "    }\n\n"
           "    GridLayout {\n        anchors.fill: parent\n        anchors.margins: 8\n"
           "        columns: 4\n\n        Label {\n            text: qsTr('Preset')\n"
           "            Layout.alignment: Qt.AlignRight\n        }\n        Shotcut.Preset {\n"
           "            id: preset\n            parameters: ["
        << names
        << "]\n            Layout.columnSpan: 3\n            onBeforePresetLoaded: "
           "resetSimpleKeyframes()\n            onPresetSelected: {\n                "
           "setControls();\n"
           "                initializeSimpleKeyframes();\n            }\n        }\n"
        << rows
        << "        Item { Layout.fillHeight: true }\n    }\n\n"
           "    Connections {\n        function onChanged() { setControls() }\n"
           "        function onInChanged() { updateSimpleKeyframes() }\n"
           "        function onOutChanged() { updateSimpleKeyframes() }\n"
           "        function onAnimateInChanged() { updateSimpleKeyframes() }\n"
           "        function onAnimateOutChanged() { updateSimpleKeyframes() }\n"
           "        function onPropertyChanged(name) { setControls() }\n"
           "        target: filter\n    }\n\n"
           "    Connections {\n        function onPositionChanged() { setControls() }\n"
           "        target: producer\n    }\n}\n";
    return out.str();
}

bool write_file(const std::filesystem::path& path, const std::string& text) {
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) std::cerr << "zx_write_descriptions: cannot write " << path.string() << "\n";
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: zx_write_descriptions DIR\n";
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    const bool ok =
        write_file(dir / "kdenlive" / "frei0r_zentrilox.xml", kdenlive_effect()) &&
        write_file(dir / "kdenlive" / "frei0r_zentrilox_transition.xml", kdenlive_transition()) &&
        write_file(dir / "shotcut" / "zentrilox" / "meta.qml", shotcut_meta()) &&
        write_file(dir / "shotcut" / "zentrilox" / "ui.qml", shotcut_ui());
    return ok ? 0 : 1;
}
