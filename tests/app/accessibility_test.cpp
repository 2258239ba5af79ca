// What a screen reader reads: the application started on a private X server
// and a private accessibility bus (at-spi2-core's bus launcher and registry),
// its tree read and its keyboard driven over AT-SPI, as Orca does.
#include "loopvolume.h"
#include "privatebus.h"

#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>
#include <optional>

namespace {

// An object of the accessibility tree: the bus name of its application and
// its path there.
struct AtSpiRef
{
    QString service;
    QDBusObjectPath path;
};

QDBusArgument &operator<<(QDBusArgument &argument, const AtSpiRef &ref)
{
    argument.beginStructure();
    argument << ref.service << ref.path;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, AtSpiRef &ref)
{
    argument.beginStructure();
    argument >> ref.service >> ref.path;
    argument.endStructure();
    return argument;
}

} // namespace

Q_DECLARE_METATYPE(AtSpiRef)

namespace {

constexpr auto kAccessible = "org.a11y.atspi.Accessible";
// AT-SPI state bits (AtspiStateType).
constexpr int kStateFocusable = 11;
constexpr int kStateFocused = 12;
constexpr int kStateSelected = 23;
constexpr int kStateShowing = 25;
constexpr int kStateVisible = 30;
// X keysyms for the keyboard the registry synthesises.
constexpr int kKeyTab = 0xff09;
constexpr int kKeyRight = 0xff53;
constexpr int kKeyComma = 0x2c;
constexpr int kKeySpace = 0x20;
constexpr int kKeyMenu = 0xff67;
constexpr int kKeyEscape = 0xff1b;
constexpr int kKeyDelete = 0xffff;
constexpr int kKeyDown = 0xff54;
constexpr int kKeyReturn = 0xff0d;
constexpr int kControlMask = 1 << 2;
constexpr int kAltMask = 1 << 3;
constexpr int kKeySymEvent = 3; // ATSPI_KEY_SYM: press and release a keysym

// Roles a person acts on; each needs a name a screen reader can speak.
const QStringList kInteractiveRoles =
    QStringLiteral("push button,toggle button,check box,radio button,menu item,check menu item,radio menu item,"
                   "combo box,list item,page tab,text,entry,spin button,slider,link,list,dialog,alert,menu")
        .split(u',');

// One object as read: what a screen reader announces of it.
struct Seen
{
    QString role;
    QString name;
    QList<uint> states;
    QString window;

    [[nodiscard]] bool has(int state) const
    {
        const int word = state / 32;
        return word < states.size() && (states.at(word) >> (state % 32)) & 1U;
    }
    [[nodiscard]] QString describe() const
    {
        return QStringLiteral("%1 \"%2\" in \"%3\"").arg(role, name, window);
    }
};

// A client of the accessibility bus, as a screen reader is.
class ScreenReader
{
public:
    explicit ScreenReader(const QString &address)
        : m_bus(QDBusConnection::connectToBus(address, QStringLiteral("a11y")))
    {
        qDBusRegisterMetaType<AtSpiRef>();
        qDBusRegisterMetaType<QList<AtSpiRef>>();
    }
    ~ScreenReader() { QDBusConnection::disconnectFromBus(QStringLiteral("a11y")); }

    [[nodiscard]] bool connected() const { return m_bus.isConnected(); }

    [[nodiscard]] QList<AtSpiRef> children(const AtSpiRef &ref) const
    {
        const QDBusMessage reply = call(ref, kAccessible, QStringLiteral("GetChildren"));
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            return {};
        }
        return qdbus_cast<QList<AtSpiRef>>(reply.arguments().first());
    }

    [[nodiscard]] QString name(const AtSpiRef &ref) const
    {
        const QDBusMessage reply = call(ref, "org.freedesktop.DBus.Properties", QStringLiteral("Get"),
                                        {QString::fromLatin1(kAccessible), QStringLiteral("Name")});
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            return {};
        }
        return qdbus_cast<QDBusVariant>(reply.arguments().first()).variant().toString();
    }

    [[nodiscard]] Seen read(const AtSpiRef &ref, const QString &window) const
    {
        Seen seen{{}, name(ref), {}, window};
        const QDBusMessage role = call(ref, kAccessible, QStringLiteral("GetRoleName"));
        if (role.type() == QDBusMessage::ReplyMessage && !role.arguments().isEmpty()) {
            seen.role = role.arguments().first().toString();
        }
        const QDBusMessage state = call(ref, kAccessible, QStringLiteral("GetState"));
        if (state.type() == QDBusMessage::ReplyMessage && !state.arguments().isEmpty()) {
            seen.states = qdbus_cast<QList<uint>>(state.arguments().first());
        }
        return seen;
    }

    /// Every object below `ref` that shows, depth first; `window` names the
    /// top-level window each lies in.
    void walk(const AtSpiRef &ref, const QString &window, QList<Seen> &into, int depth = 0) const
    {
        if (depth > 60) {
            return;
        }
        const Seen seen = read(ref, window);
        if (depth > 0 && !seen.has(kStateShowing) && !seen.has(kStateVisible)) {
            return;
        }
        if (depth > 0) {
            into.append(seen);
        }
        const QString inWindow = depth == 1 ? seen.name : window;
        for (const AtSpiRef &child : children(ref)) {
            walk(child, inWindow, into, depth + 1);
        }
    }

    /// The application registered under `name`, once it has registered.
    [[nodiscard]] std::optional<AtSpiRef> application(const QString &name, int timeoutMs) const
    {
        const AtSpiRef registry{QStringLiteral("org.a11y.atspi.Registry"),
                                QDBusObjectPath(QStringLiteral("/org/a11y/atspi/accessible/root"))};
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            for (const AtSpiRef &app : children(registry)) {
                if (this->name(app) == name) {
                    return app;
                }
                seenNames.insert(this->name(app));
            }
            QTest::qWait(200);
        }
        return std::nullopt;
    }

    /// The applications seen while waiting for one (to tell what was there).
    mutable QSet<QString> seenNames;

    /// Presses and releases a key through the registry's keyboard.
    bool press(int keysym) const
    {
        const bool sent = generate(keysym, kKeySymEvent);
        QTest::qWait(150);
        return sent;
    }

    /// The same with modifiers (an X modifier mask) held down.
    bool pressWith(int modifiers, int keysym) const
    {
        constexpr uint kLockModifiers = 5;
        constexpr uint kUnlockModifiers = 6;
        return generate(modifiers, kLockModifiers) && press(keysym) && generate(modifiers, kUnlockModifiers);
    }

private:
    bool generate(int code, uint type) const
    {
        const AtSpiRef keyboard{QStringLiteral("org.a11y.atspi.Registry"),
                                QDBusObjectPath(QStringLiteral("/org/a11y/atspi/registry/deviceeventcontroller"))};
        return call(keyboard, "org.a11y.atspi.DeviceEventController", QStringLiteral("GenerateKeyboardEvent"),
                    {code, QString(), type})
                   .type()
            == QDBusMessage::ReplyMessage;
    }

    QDBusMessage call(const AtSpiRef &ref, const char *interface, const QString &method,
                      const QVariantList &arguments = {}) const
    {
        QDBusMessage message =
            QDBusMessage::createMethodCall(ref.service, ref.path.path(), QString::fromLatin1(interface), method);
        message.setArguments(arguments);
        return m_bus.call(message, QDBus::Block, 5000);
    }

    QDBusConnection m_bus;
};

// A process of the test, ended with it.
class Child
{
public:
    ~Child()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(3000)) {
                process.kill();
                process.waitForFinished(3000);
            }
        }
    }
    QProcess process;
};

// The names a screen reader must not read: markup, image addresses and
// access-key marks ("&File").
QString nameProblem(const Seen &seen)
{
    static const QRegularExpression markup(QStringLiteral("<\\s*/?\\s*[a-zA-Z][^>]*>"));
    static const QRegularExpression mnemonic(QStringLiteral("&[\\p{L}\\p{N}]"));
    if (markup.match(seen.name).hasMatch()) {
        return QStringLiteral("markup in the name of ");
    }
    if (seen.name.contains(QStringLiteral("image://")) || seen.name.contains(QStringLiteral("qrc:/"))) {
        return QStringLiteral("an image address in the name of ");
    }
    if (mnemonic.match(seen.name).hasMatch()) {
        return QStringLiteral("an access-key mark in the name of ");
    }
    // A text field takes input only when it can take the focus (a combo
    // box's display is part of the combo box).
    const bool textField = seen.role == QLatin1String("text") || seen.role == QLatin1String("entry");
    if (kInteractiveRoles.contains(seen.role) && (!textField || seen.has(kStateFocusable)) && seen.name.trimmed().isEmpty()) {
        return QStringLiteral("no name for ");
    }
    // Decoration and empty text are hidden from the tree.
    if ((seen.role == QLatin1String("image") || seen.role == QLatin1String("label")) && seen.name.trimmed().isEmpty()) {
        return QStringLiteral("an empty, unhidden ");
    }
    return {};
}

class Accessibility : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char *tool : {"Xvfb", "dbus-daemon"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
                GTEST_SKIP() << tool << " is not installed";
            }
        }
        if (!QFile::exists(launcherPath())) {
            GTEST_SKIP() << "at-spi2-core's bus launcher is not installed";
        }
        if (!m_bus.skipReason().isEmpty()) {
            GTEST_SKIP() << m_bus.skipReason().toStdString();
        }
        ASSERT_TRUE(m_home.isValid());
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus.address());
        m_env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
        m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
        m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.path());
        m_env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        m_env.remove(QStringLiteral("LANGUAGE"));
        m_env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        m_env.remove(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"));
        // The bus launcher keeps "a screen reader runs" in the desktop's
        // settings; here in its own memory, as the private bus starts no
        // settings service.
        m_env.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("memory"));

        // The X server says which display it took.
        m_x.process.setProcessEnvironment(m_env);
        m_x.process.start(QStringLiteral("Xvfb"), QStringLiteral("-displayfd 1 -screen 0 1280x900x24 -nolisten tcp").split(u' '));
        ASSERT_TRUE(m_x.process.waitForStarted(10000));
        ASSERT_TRUE(m_x.process.waitForReadyRead(20000)) << "Xvfb gave no display";
        m_env.insert(QStringLiteral("DISPLAY"), QLatin1Char(':') + QString::fromLatin1(m_x.process.readLine()).trimmed());

        // The accessibility bus and its registry, which the launcher starts.
        m_launcher.process.setProcessEnvironment(m_env);
        m_launcher.process.start(launcherPath(), {QStringLiteral("--launch-immediately")});
        ASSERT_TRUE(m_launcher.process.waitForStarted(10000));
        QDBusConnection session = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("session"));
        QElapsedTimer clock;
        clock.start();
        while (m_a11yAddress.isEmpty() && clock.elapsed() < 20000) {
            QDBusMessage ask = QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                                              QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
            const QDBusReply<QString> reply = session.call(ask, QDBus::Block, 2000);
            if (reply.isValid()) {
                m_a11yAddress = reply.value();
            } else {
                QTest::qWait(100);
            }
        }
        ASSERT_FALSE(m_a11yAddress.isEmpty()) << "the bus launcher gave no accessibility bus";
        // A screen reader announces itself; applications then expose their tree.
        QDBusMessage enable = QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                                             QStringLiteral("org.freedesktop.DBus.Properties"),
                                                             QStringLiteral("Set"));
        enable << QStringLiteral("org.a11y.Status") << QStringLiteral("ScreenReaderEnabled")
               << QVariant::fromValue(QDBusVariant(true));
        ASSERT_EQ(session.call(enable, QDBus::Block, 5000).type(), QDBusMessage::ReplyMessage);
        QDBusConnection::disconnectFromBus(QStringLiteral("session"));
    }

    static QString launcherPath()
    {
        for (const char *path : {"/usr/libexec/at-spi-bus-launcher", "/usr/lib/at-spi2-core/at-spi-bus-launcher"}) {
            if (QFile::exists(QString::fromLatin1(path))) {
                return QString::fromLatin1(path);
            }
        }
        return QString::fromLatin1("/usr/libexec/at-spi-bus-launcher");
    }

    // Runs vellory-cli on the test's own backup set.
    bool cli(const QStringList &arguments)
    {
        QProcess process;
        process.setProcessEnvironment(m_env);
        process.start(QStringLiteral(VELLORY_CLI_PATH), arguments);
        return process.waitForFinished(30000) && process.exitCode() == 0;
    }

    void startApp()
    {
        m_app.process.setProcessEnvironment(m_env);
        m_app.process.setProcessChannelMode(QProcess::ForwardedChannels);
        m_app.process.start(QStringLiteral(VELLORY_APP_PATH), {});
        ASSERT_TRUE(m_app.process.waitForStarted(10000));
    }

    PrivateBus m_bus;
    QTemporaryDir m_home{QDir::tempPath() + QStringLiteral("/vellory-a11y-XXXXXX")};
    QProcessEnvironment m_env;
    Child m_x;
    Child m_launcher;
    Child m_app;
    QString m_a11yAddress;
};

TEST_F(Accessibility, EveryWindowIsNamedAndTheKeyboardReachesSourcesAndBackupNow)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"), 16);
    if (!volume.isMounted()) {
        GTEST_SKIP() << volume.skipReason().toStdString();
    }
    // Two sources, and the stick as the destination, so "Backup Now" can be used.
    QDir sources(m_home.filePath(QStringLiteral("home")));
    ASSERT_TRUE(sources.mkpath(QStringLiteral("Letters")));
    QFile notes(sources.filePath(QStringLiteral("Notes.txt")));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly) && notes.write("milk\n") == 5);
    notes.close();
    ASSERT_TRUE(cli({QStringLiteral("add"), sources.filePath(QStringLiteral("Letters"))}));
    ASSERT_TRUE(cli({QStringLiteral("add"), notes.fileName()}));
    ASSERT_TRUE(cli({QStringLiteral("select-volume"), volume.mountPath()}));

    startApp();
    ScreenReader reader(m_a11yAddress);
    ASSERT_TRUE(reader.connected());
    const std::optional<AtSpiRef> app = reader.application(QStringLiteral("Vellory 2"), 30000);
    ASSERT_TRUE(app) << "the application never appeared on the accessibility bus; there were: "
                     << QStringList(reader.seenNames.values()).join(QStringLiteral(", ")).toStdString();

    auto everything = [&] {
        QList<Seen> seen;
        reader.walk(*app, QString(), seen);
        return seen;
    };
    // The focus is on the innermost focused object: the focus scopes around
    // it (a tool bar, the grid) say they hold it too.
    auto focusedIn = [](const QList<Seen> &seen) -> std::optional<Seen> {
        for (auto it = seen.crbegin(); it != seen.crend(); ++it) {
            if (it->has(kStateFocused)) {
                return *it;
            }
        }
        return std::nullopt;
    };
    auto find = [&](const QList<Seen> &seen, const std::function<bool(const Seen &)> &what) -> std::optional<Seen> {
        const auto found = std::find_if(seen.cbegin(), seen.cend(), what);
        return found == seen.cend() ? std::nullopt : std::optional<Seen>(*found);
    };
    // An object of `role`, named `name` (any name when empty).
    auto is = [](const char *role, const QString &name = {}) {
        return [role, name](const Seen &s) { return s.role == QLatin1String(role) && (name.isEmpty() || s.name == name); };
    };
    // Presses `key` and reads where the focus went, once it has moved on
    // from `from` (the machine may be slow to deliver the key).
    auto focusAfter = [&](int key, const std::optional<Seen> &from) -> std::optional<Seen> {
        EXPECT_TRUE(reader.press(key));
        QElapsedTimer waited;
        waited.start();
        for (;;) {
            const std::optional<Seen> focused = focusedIn(everything());
            const bool moved = focused && !(from && focused->name == from->name && focused->role == from->role);
            if (moved || waited.elapsed() > 3000) {
                return focused;
            }
            QTest::qWait(100);
        }
    };
    QStringList problems;
    auto check = [&](const QList<Seen> &seen) {
        for (const Seen &each : seen) {
            if (const QString problem = nameProblem(each); !problem.isEmpty()) {
                problems.append(problem + each.describe());
            }
        }
        problems.removeDuplicates();
    };

    // The main window: its grid of sources is a list of items named after them.
    QList<Seen> seen;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000
           && !(find(seen, is("list item")) && find(seen, [](const Seen &s) { return s.name.endsWith(QLatin1String(" Available")); }))) {
        QTest::qWait(300);
        seen = everything();
    }
    check(seen);
    EXPECT_TRUE(find(seen, is("list item", QStringLiteral("Letters"))) && find(seen, is("list item", QStringLiteral("Notes.txt"))))
        << "the sources are not items of a list named after them";
    EXPECT_TRUE(find(seen, [](const Seen &s) { return s.role == QLatin1String("list") && !s.name.isEmpty(); }))
        << "the source grid is not a named list";
    // The volume panel's state reads as text.
    EXPECT_TRUE(find(seen, [](const Seen &s) { return s.name.startsWith(QLatin1String("Last Backup: ")); }));
    EXPECT_TRUE(find(seen, [](const Seen &s) { return s.name.endsWith(QLatin1String(" Available")); }));

    // The first Tab reaches "Share", Space opens the share panel, a dialog
    // named by its title; Escape closes it. Alt+H, Down to "About Vellory 2"
    // and Enter open the About dialog, which Enter closes.
    auto dialogNamed = [&](const QString &name) {
        QTest::qWait(600);
        const QList<Seen> now = everything();
        check(now);
        return find(now, is("dialog", name)).has_value();
    };
    ASSERT_TRUE(reader.press(kKeyTab));
    ASSERT_TRUE(reader.press(kKeySpace));
    EXPECT_TRUE(dialogNamed(QStringLiteral("Help us to spread the word"))) << "the share panel is not a named dialog";
    ASSERT_TRUE(reader.press(kKeyEscape));
    EXPECT_FALSE(dialogNamed(QStringLiteral("Help us to spread the word"))) << "Escape left the share panel open";
    ASSERT_TRUE(reader.pressWith(kAltMask, 'h'));
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(reader.press(kKeyDown));
    }
    ASSERT_TRUE(reader.press(kKeyReturn));
    EXPECT_TRUE(dialogNamed(QStringLiteral("About Vellory 2"))) << "the About dialog is not a named dialog";
    ASSERT_TRUE(reader.press(kKeyReturn));
    EXPECT_FALSE(dialogNamed(QStringLiteral("About Vellory 2"))) << "Enter left the About dialog open";

    // Tab goes round every control; it must reach a source and "Backup Now".
    QStringList focusOrder;
    bool reachedSource = false;
    bool reachedBackupNow = false;
    std::optional<Seen> focusedSource;
    std::optional<Seen> lastFocused;
    for (int i = 0; i < 40 && !(reachedSource && reachedBackupNow); ++i) {
        const auto focused = focusAfter(kKeyTab, lastFocused);
        lastFocused = focused;
        if (!focused) {
            continue;
        }
        focusOrder.append(focused->role + QLatin1Char(' ') + focused->name);
        if (focused->role == QLatin1String("list item") && !reachedSource) {
            reachedSource = true;
            focusedSource = focused;
            // The arrow keys move to the next source.
            const auto next = focusAfter(kKeyRight, focused);
            EXPECT_TRUE(next && next->role == QLatin1String("list item") && next->name != focused->name)
                << "Right did not move to the next source";
            // The Menu key opens the source's menu, Escape closes it.
            ASSERT_TRUE(reader.press(kKeyMenu));
            QTest::qWait(300);
            EXPECT_TRUE(find(everything(), is("menu item", QStringLiteral("Remove"))))
                << "the Menu key opened no menu with Remove";
            ASSERT_TRUE(reader.press(kKeyEscape));
            // Delete removes the sources; the hint that takes their place is
            // read (and checked) like the rest.
            ASSERT_TRUE(reader.press(kKeyDelete));
            ASSERT_TRUE(reader.press(kKeyDelete));
            QTest::qWait(600);
            const QList<Seen> emptied = everything();
            EXPECT_FALSE(find(emptied, is("list item")))
                << "Delete did not remove the sources";
            EXPECT_TRUE(find(emptied, [](const Seen &s) { return s.name.startsWith(QLatin1String("or click on the")); }))
                << "the hint for an empty set is not read";
            check(emptied);
        }
        if (focused->role == QLatin1String("push button") && focused->name.trimmed() == QLatin1String("Backup Now")) {
            reachedBackupNow = true;
        }
    }
    EXPECT_TRUE(reachedSource) << "Tab never reached a source; focus went " << focusOrder.join(QStringLiteral(", ")).toStdString();
    EXPECT_TRUE(reachedBackupNow) << "Tab never reached Backup Now; focus went " << focusOrder.join(QStringLiteral(", ")).toStdString();
    if (focusedSource) {
        EXPECT_TRUE(focusedSource->has(kStateSelected) && focusedSource->has(kStateFocusable))
            << "the focused source is not exposed as selected";
    }

    // "Backup Now" brings the Backups window; a row's "Log" its log window;
    // the toolbar's "Share" the share panel; the menu the settings.
    // The focus is on "Backup Now" now: Space presses it.
    ASSERT_TRUE(reader.press(kKeySpace));
    // In the Backups window, Tab goes to the row's "Log" and Space opens the
    // job's log; Ctrl+, opens the settings from there.
    auto waitForWindow = [&](const QString &title) {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 20000) {
            if (find(everything(), [&](const Seen &s) { return s.window == title; })) {
                return true;
            }
            QTest::qWait(300);
        }
        return false;
    };
    ASSERT_TRUE(waitForWindow(QStringLiteral("Backups")));
    bool onLog = false;
    for (int i = 0; i < 6 && !onLog; ++i) {
        const auto focused = focusAfter(kKeyTab, std::nullopt);
        onLog = focused && focused->window == QLatin1String("Backups") && focused->name == QLatin1String("Log");
    }
    EXPECT_TRUE(onLog) << "Tab did not reach a job's Log button";
    ASSERT_TRUE(reader.press(kKeySpace));
    EXPECT_TRUE(waitForWindow(QStringLiteral("Backup Log")));
    ASSERT_TRUE(reader.pressWith(kControlMask, kKeyComma));
    EXPECT_TRUE(waitForWindow(QStringLiteral("Settings")));
    QTest::qWait(1500);
    seen = everything();
    check(seen);
    QStringList windows;
    std::transform(seen.cbegin(), seen.cend(), std::back_inserter(windows), [](const Seen &s) { return s.window; });
    windows.removeDuplicates();
    for (const QString &window : {QStringLiteral("Backups"), QStringLiteral("Backup Log"), QStringLiteral("Settings")}) {
        EXPECT_TRUE(windows.contains(window)) << "not read: window " << window.toStdString() << "; read "
                                              << windows.join(QStringLiteral(", ")).toStdString();
    }
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
}

} // namespace
