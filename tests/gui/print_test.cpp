// Printing end to end on a real print queue: a print server with a PDF queue that these tests
// start and stop themselves (they need root). The PDFs it writes are checked for their page count,
// page size and, rendered, for which picture landed in which cell.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>
#include <QTimer>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>

#include "app/core/settings.h"
#include "app/gui/tools/print/print_dialog.h"
#include "image/image_document.h"
#include "shell/qt/printer_access.h"

namespace fs = std::filesystem;

namespace kalder::gui {
namespace {

constexpr const char* kQueue = "KalderPDF";
using Rgb = std::array<int, 3>;
const std::array<Rgb, 4> kColours = {Rgb{255, 0, 0}, Rgb{0, 160, 0}, Rgb{0, 0, 255},
                                     Rgb{255, 255, 0}};

struct ProcessRun {
    int code = -1;
    std::string out;
};

ProcessRun run(const QString& program, const QStringList& args, int timeoutMs = 60000,
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    ProcessRun r;
    if (!p.waitForStarted(10000)) return r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAll().toStdString();
    return r;
}

// Waits up to a minute for a condition: the server and its PDF writer work at their own pace.
template <typename F>
bool waitFor(F&& done) {
    return QTest::qWaitFor(std::forward<F>(done), 60000);
}

void writeBmp(const fs::path& path, int w, int h, Rgb c) {
    const int rowBytes = (w * 3 + 3) & ~3;
    const std::uint32_t size = 54 + static_cast<std::uint32_t>(rowBytes * h);
    std::vector<std::uint8_t> f(size, 0);
    const auto put32 = [&f](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) f[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    f[0] = 'B', f[1] = 'M';
    put32(2, size);
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(w));
    put32(22, static_cast<std::uint32_t>(h));
    f[26] = 1, f[28] = 24;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = &f[54 + y * rowBytes + x * 3];
            p[0] = static_cast<std::uint8_t>(c[2]), p[1] = static_cast<std::uint8_t>(c[1]),
            p[2] = static_cast<std::uint8_t>(c[0]);
        }
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(f.data()), size);
}

// Message boxes wait for a click; this one answers each as soon as it shows.
struct MessageCloser {
    MessageCloser() {
        timer.setInterval(20);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                    box->close();
                    ++closed;
                }
        });
        timer.start();
    }
    QTimer timer;
    int closed = 0;
};

class PrintQueueTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const bool required = std::getenv("KALDER_REQUIRE_SERVICES") != nullptr &&
                              std::string(std::getenv("KALDER_REQUIRE_SERVICES")) == "1";
        s_problem = startServer();
        if (!s_problem.empty() && required) s_problem = "FAIL: " + s_problem;
    }
    static void TearDownTestSuite() {
        if (s_queueAdded) run(QStringLiteral("lpadmin"), {QStringLiteral("-x"), kQueue});
        if (s_cupsd) {
            s_cupsd->terminate();
            // Gone before the next suite or job may look for a server.
            if (!s_cupsd->waitForFinished(30000)) {
                s_cupsd->kill();
                s_cupsd->waitForFinished(5000);
            }
            delete s_cupsd;
            s_cupsd = nullptr;
        }
        std::error_code ec;
        fs::remove("/etc/cups/cups-pdf-kalder.conf", ec);
        fs::remove_all(s_dir, ec);
    }

    static std::string startServer() {
        if (::geteuid() != 0) return "print server tests need root";
        for (const char* tool :
             {"/usr/sbin/cupsd", "/usr/sbin/lpadmin", "/usr/bin/lpstat", "/usr/bin/pdfinfo",
              "/usr/bin/pdftoppm", "/usr/lib/cups/backend/cups-pdf"})
            if (!fs::exists(tool)) return std::string("missing ") + tool;
        s_dir = fs::temp_directory_path() / ("kalder_print_" + std::to_string(::getpid()));
        fs::create_directories(s_dir / "pdf");
        fs::permissions(s_dir, fs::perms::all);
        fs::permissions(s_dir / "pdf", fs::perms::all);
        {
            std::ofstream conf("/etc/cups/cups-pdf-kalder.conf");
            conf << "Out " << (s_dir / "pdf").string() << "\nAnonDirName "
                 << (s_dir / "pdf").string() << "\n";
            if (!conf) return "cannot write the PDF queue's configuration";
        }
        // lpstat answers 0 either way; only its text tells.
        const auto answering = [] {
            return run(QStringLiteral("lpstat"), {"-r"}, 5000)
                       .out.rfind("scheduler is running", 0) == 0;
        };
        if (answering()) return "a print server is already running; not touching it";
        s_cupsd = new QProcess;
        s_cupsd->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        s_cupsd->start(QStringLiteral("/usr/sbin/cupsd"), {QStringLiteral("-f")});
        if (!s_cupsd->waitForStarted(10000) || !waitFor(answering))
            return "the print server did not start";
        const ProcessRun added =
            run(QStringLiteral("lpadmin"), {"-p", kQueue, "-v", "cups-pdf:/kalder", "-m",
                                            "lsb/usr/cups-pdf/CUPS-PDF_noopt.ppd", "-E"});
        if (added.code != 0) return "lpadmin failed: " + added.out;
        s_queueAdded = true;
        run(QStringLiteral("lpadmin"), {"-d", kQueue});
        return {};
    }

    void SetUp() override {
        if (s_problem.rfind("FAIL: ", 0) == 0) FAIL() << s_problem;
        if (!s_problem.empty()) GTEST_SKIP() << "skipped: " << s_problem;
        for (const auto& e : fs::directory_iterator(s_dir / "pdf")) fs::remove(e.path());
    }

    // The one PDF the queue wrote, once the queue has no job left.
    static std::optional<fs::path> awaitPdf() {
        std::optional<fs::path> found;
        waitFor([&found] {
            if (!run(QStringLiteral("lpstat"), {"-o", kQueue}, 5000).out.empty()) return false;
            for (const auto& e : fs::directory_iterator(s_dir / "pdf"))
                if (e.path().extension() == ".pdf") found = e.path();
            return found.has_value();
        });
        return found;
    }

    static int pdfPages(const fs::path& pdf, std::string& pageSize) {
        const ProcessRun info =
            run(QStringLiteral("pdfinfo"), {QString::fromStdString(pdf.string())});
        std::smatch m;
        if (std::regex_search(info.out, m, std::regex(R"(Page size:\s+([0-9.]+ x [0-9.]+))")))
            pageSize = m[1];
        if (std::regex_search(info.out, m, std::regex(R"(Pages:\s+(\d+))"))) return std::stoi(m[1]);
        return 0;
    }

    // Page `page` (from 1) rendered at 30 dpi.
    static bool render(const fs::path& pdf, int page, image::ImageDocument& doc) {
        const fs::path prefix = s_dir / "page";
        const QString n = QString::number(page);
        if (run(QStringLiteral("pdftoppm"),
                {"-r", "30", "-png", "-singlefile", "-f", n, "-l", n,
                 QString::fromStdString(pdf.string()), QString::fromStdString(prefix.string())})
                .code != 0)
            return false;
        image::LoadOptions o;
        o.path = prefix.string() + ".png";
        return doc.loadAll(o, false);
    }

    // Mean colour of a 5 x 5 patch around a point in millimetres on the physical page.
    static Rgb meanAt(const image::Bitmap32& b, double xMm, double yMm) {
        const int cx = static_cast<int>(std::lround(xMm * 30 / 25.4));
        const int cy = static_cast<int>(std::lround(yMm * 30 / 25.4));
        Rgb sum{0, 0, 0};
        int n = 0;
        for (int y = cy - 2; y <= cy + 2; ++y)
            for (int x = cx - 2; x <= cx + 2; ++x) {
                if (x < 0 || y < 0 || x >= b.width() || y >= b.height()) continue;
                const std::uint8_t* p = b.row(y) + x * 4;
                sum[0] += p[2], sum[1] += p[1], sum[2] += p[0];
                ++n;
            }
        if (n == 0) return {-1, -1, -1};
        return {sum[0] / n, sum[1] / n, sum[2] / n};
    }

    static bool near(Rgb a, Rgb b) {
        for (int i = 0; i < 3; ++i)
            if (std::abs(a[i] - b[i]) > 40) return false;
        return true;
    }

    static shell::PrinterGeometry geometry() {
        auto session = shell::PrinterSession::open(kQueue);
        return session ? session->geometry() : shell::PrinterGeometry{};
    }

    static inline std::string s_problem;
    static inline fs::path s_dir;
    static inline QProcess* s_cupsd = nullptr;
    static inline bool s_queueAdded = false;
};

TEST_F(PrintQueueTest, CommandLinePrintsTheFileAndExits) {
    // A copy of the program keeps its settings file beside it, away from the build tree; a saved
    // file means no first-start question waits for an answer.
    const fs::path program = s_dir / "kalder";
    fs::copy_file(fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "kalder",
                  program, fs::copy_options::overwrite_existing);
    ASSERT_TRUE(app::Settings{}.Save(s_dir / "Kalder.cfg"));
    const fs::path picture = s_dir / "red.bmp";
    writeBmp(picture, 300, 200, kColours[0]);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("KALDER_PRINT_UNATTENDED", "1");
    env.insert("HOME", QString::fromStdString(s_dir.string()));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString((s_dir / "config").string()));
    const ProcessRun r = run(QString::fromStdString(program.string()),
                             {QString::fromStdString("-p" + picture.string())}, 120000, env);
    ASSERT_EQ(r.code, 0) << r.out;

    const auto pdf = awaitPdf();
    ASSERT_TRUE(pdf) << "no PDF from the queue";
    std::string size;
    EXPECT_EQ(pdfPages(*pdf, size), 1);
    EXPECT_EQ(size, "595 x 842");  // the queue's default A4
    image::ImageDocument doc;
    ASSERT_TRUE(render(*pdf, 1, doc));
    const shell::PrinterGeometry g = geometry();
    ASSERT_TRUE(g.valid());
    const double left = g.offsetXPx / g.pixelsPerMmX;
    const double top = g.offsetYPx / g.pixelsPerMmY;
    const double w = g.printableWidthMm;
    // Fitted across the full width, from the top: a 3:2 picture is w * 2/3 high.
    EXPECT_TRUE(near(meanAt(doc.PageAt(0).bitmap, left + w / 2, top + w / 3), kColours[0]));
    EXPECT_TRUE(near(meanAt(doc.PageAt(0).bitmap, left + w / 2, top + w * 0.8), {255, 255, 255}));
}

TEST_F(PrintQueueTest, FourImagesLandInTheirCells) {
    std::vector<tools::PrintItem> items;
    for (std::size_t i = 0; i < 4; ++i) {
        tools::PrintItem item;
        item.path = s_dir / ("colour" + std::to_string(i) + ".bmp");
        writeBmp(item.path, 300, 200, kColours[i]);
        items.push_back(std::move(item));
    }
    app::Settings settings;
    settings.printOptions[0] = settings.printOptions[1] = 100;  // small job, quick render
    PrintDialog dialog(settings, shell::listPrinters(), std::move(items), nullptr);
    dialog.deviceBox()->setCurrentIndex(dialog.deviceBox()->findText(kQueue));
    dialog.layoutBox()->setCurrentIndex(3);  // "4 images"
    // Five items' worth of cells would need a second page; four fill one.
    ASSERT_EQ(tools::pageCount(dialog.cells()), 1);
    ASSERT_TRUE(dialog.printAll());

    const auto pdf = awaitPdf();
    ASSERT_TRUE(pdf) << "no PDF from the queue";
    std::string size;
    EXPECT_EQ(pdfPages(*pdf, size), 1);
    EXPECT_EQ(size, "595 x 842");
    image::ImageDocument doc;
    ASSERT_TRUE(render(*pdf, 1, doc));
    const shell::PrinterGeometry g = geometry();
    const double left = g.offsetXPx / g.pixelsPerMmX;
    const double top = g.offsetYPx / g.pixelsPerMmY;
    const double cw = (g.printableWidthMm - 3) / 2;
    const double ch = (g.printableHeightMm - 3) / 2;
    for (int i = 0; i < 4; ++i) {
        const double x = left + (i % 2) * (cw + 3);
        const double y = top + (i / 2) * (ch + 3);
        // Each picture fills its cell's width from the top: its centre is a third of cw down.
        EXPECT_TRUE(near(meanAt(doc.PageAt(0).bitmap, x + cw / 2, y + cw / 3), kColours[i]))
            << "cell " << i;
        EXPECT_TRUE(near(meanAt(doc.PageAt(0).bitmap, x + cw / 2, y + ch - 5), {255, 255, 255}))
            << "below picture " << i;
    }
    EXPECT_EQ(settings.printOptions[0], 100);
}

TEST_F(PrintQueueTest, VanishedQueueKeepsTheDialogOpen) {
    std::vector<tools::PrintItem> items(1);
    items[0].path = s_dir / "gone.bmp";
    writeBmp(items[0].path, 30, 20, kColours[1]);
    app::Settings settings;
    std::vector<shell::PrinterEntry> printers = shell::listPrinters();
    printers.insert(printers.begin(), shell::PrinterEntry{"KalderNoSuchQueue", "", false});
    PrintDialog dialog(settings, std::move(printers), std::move(items), nullptr);
    MessageCloser closer;
    dialog.show();
    EXPECT_FALSE(dialog.printAll());
    EXPECT_EQ(closer.closed, 1);
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(PrintQueueTest, UnreadableImageStopsWithTheDialogOpen) {
    std::vector<tools::PrintItem> items(2);
    items[0].path = s_dir / "fine.bmp";
    writeBmp(items[0].path, 30, 20, kColours[1]);
    items[1].path = s_dir / "broken.bmp";
    std::ofstream(items[1].path) << "BM not really";
    app::Settings settings;
    PrintDialog dialog(settings, shell::listPrinters(), std::move(items), nullptr);
    dialog.deviceBox()->setCurrentIndex(dialog.deviceBox()->findText(kQueue));
    MessageCloser closer;
    dialog.show();
    EXPECT_FALSE(dialog.printAll());
    EXPECT_EQ(closer.closed, 1);
    EXPECT_TRUE(dialog.isVisible());
    for (const tools::PrintCell& c : dialog.cells()) EXPECT_EQ(c.bitmap, nullptr);
}

}  // namespace
}  // namespace kalder::gui
