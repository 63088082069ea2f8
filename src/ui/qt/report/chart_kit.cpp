#include "ui/qt/report/chart_kit.h"

#include <dlfcn.h>

#include <QLabel>
#include <fmt/format.h>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/log.h"
#include "ui/chart_texts.h"

namespace vigilo {

namespace {

// The figures as text, where the charts module cannot be loaded.
class TextKit final : public ChartKit {
public:
    QWidget* makeChart(int, bool) override { return label(); }
    void drawAwakeBand(QWidget& chart, const std::vector<AwakeSpan>& spans, WallTime) override {
        show(chart, awakeBandText(spans));
    }
    void drawLastHour(QWidget& chart, const std::vector<ReadingRun>& temperature, const std::vector<ReadingRun>& battery,
                      WallTime) override {
        show(chart, readingsText("Temperature", "\u00b0C", temperature) + " " + readingsText("Battery", "%", battery));
    }
    void drawSparkline(QWidget& chart, const std::vector<ReadingRun>& cpu, const std::vector<ReadingRun>&,
                       WallTime) override {
        show(chart, cpu.empty() ? std::string() : fmt::format("{:.0f}%", cpu.back().back().value));
    }
    QWidget* makeWeekChart() override { return label(); }
    void drawWeekBars(QWidget& chart, const std::vector<DayHours>& days) override {
        std::vector<std::pair<std::string, double>> figures;
        for (const auto& day : days) figures.emplace_back(day.day, day.hours);
        show(chart, weekBarsText(figures));
    }

private:
    static QLabel* label() {
        auto* text = new QLabel;
        text->setWordWrap(true);
        return text;
    }
    static void show(QWidget& chart, const std::string& text) {
        static_cast<QLabel&>(chart).setText(QString::fromStdString(text));
    }
};

// Beside the tray module, where the application finds that one.
std::filesystem::path moduleFolder() {
    if (const char* dir = std::getenv("VIGILO_MODULE_DIR"); dir && *dir) return dir;
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().parent_path() / "lib" / "vigilo";
}

ChartKit& loadKit() {
    const auto path = moduleFolder() / kChartsModuleFile;
    // Never unloaded: the charts it made live in the windows.
    if (void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE)) {
        if (auto make = reinterpret_cast<VigiloChartKit>(::dlsym(module, kChartKitSymbol))) {
            if (ChartKit* kit = make()) return *kit;
        }
    }
    Logger("Charts").error("Cannot load {}: {}; the charts are shown as text", path.string(), ::dlerror());
    static TextKit text;
    return text;
}

}  // namespace

ChartKit& chartKit() {
    static ChartKit& kit = loadKit();
    return kit;
}

}  // namespace vigilo
