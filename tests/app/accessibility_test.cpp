// What a screen reader reads: the application started on a private X server
// and a private accessibility bus (at-spi2-core's bus launcher and registry),
// its tree read and its keyboard driven over AT-SPI, as a screen reader does.
#include "loopvolume.h"
#include "platform/buildinfo.h"
#include "platform/settings.h"
#include "privatebus.h"
#include "runtesting.h"
#include "skipwithout.h"
#include "systemcommands.h"

#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
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

const QDBusArgument &operator>>(const QDBusArgument &argument, AtSpiRef &ref)
{
    argument.beginStructure();
    argument >> ref.service >> ref.path;
    argument.endStructure();
    return argument;
}

constexpr auto kAccessible = "org.a11y.atspi.Accessible";
// AT-SPI state bits (AtspiStateType).
constexpr int kStateFocusable = 11, kStateFocused = 12, kStateSelected = 23, kStateShowing = 25, kStateVisible = 30;
// X keysyms for the keyboard the registry synthesises, and modifier masks.
constexpr int kKeyTab = 0xff09, kKeyRight = 0xff53, kKeyComma = 0x2c, kKeySpace = 0x20, kKeyMenu = 0xff67;
constexpr int kKeyEscape = 0xff1b, kKeyDelete = 0xffff, kKeyDown = 0xff54, kKeyReturn = 0xff0d;
constexpr int kControlMask = 1 << 2, kAltMask = 1 << 3;
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
};

// A client of the accessibility bus, as a screen reader is.
class ScreenReader
{
public:
    explicit ScreenReader(const QString &address)
        : m_bus(QDBusConnection::connectToBus(address, QStringLiteral("a11y")))
    {
    }
    ~ScreenReader() { QDBusConnection::disconnectFromBus(QStringLiteral("a11y")); }

    [[nodiscard]] QList<AtSpiRef> children(const AtSpiRef &ref) const
    {
        return qdbus_cast<QList<AtSpiRef>>(answer(ref, kAccessible, QStringLiteral("GetChildren")));
    }

    [[nodiscard]] QString name(const AtSpiRef &ref) const
    {
        const QVariant name = answer(ref, "org.freedesktop.DBus.Properties", QStringLiteral("Get"),
                                     {QString::fromLatin1(kAccessible), QStringLiteral("Name")});
        return qdbus_cast<QDBusVariant>(name).variant().toString();
    }

    /// Every object below `ref` that shows, depth first; `window` names the
    /// top-level window each lies in.
    void walk(const AtSpiRef &ref, const QString &window, QList<Seen> &into, int depth = 0) const
    {
        const Seen seen{answer(ref, kAccessible, QStringLiteral("GetRoleName")).toString(), name(ref),
                        qdbus_cast<QList<uint>>(answer(ref, kAccessible, QStringLiteral("GetState"))), window};
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
        std::optional<AtSpiRef> found;
        (void)QTest::qWaitFor([&] {
            for (const AtSpiRef &app : children(registry)) {
                if (this->name(app) == name) {
                    found = app;
                }
                seenNames.insert(this->name(app));
            }
            return found.has_value();
        }, timeoutMs);
        return found;
    }

    /// The applications seen while waiting for one (to tell what was there).
    mutable QSet<QString> seenNames;

    /// Presses and releases a key through the registry's keyboard, with the
    /// modifiers of an X modifier mask held down.
    bool press(int keysym, int modifiers = 0) const
    {
        constexpr uint kLockModifiers = 5, kUnlockModifiers = 6;
        const bool sent = (modifiers == 0 || generate(modifiers, kLockModifiers)) && generate(keysym, kKeySymEvent)
            && (modifiers == 0 || generate(modifiers, kUnlockModifiers));
        QTest::qWait(150);
        return sent;
    }

    /// Clicks the top middle of `window` (its menu bar): a window that lost
    /// the focus when another closed takes it back, with no window manager here.
    bool click(const AtSpiRef &window) const
    {
        // The extents (x, y, width, height) read as Qt reads a rectangle.
        const auto extents = qdbus_cast<QRect>(answer(window, "org.a11y.atspi.Component", QStringLiteral("GetExtents"), {0U}));
        return extents.width() > 0 && call(kDevices, "org.a11y.atspi.DeviceEventController", QStringLiteral("GenerateMouseEvent"),
                                           {extents.x() + extents.width() / 2, extents.y() + 8, QStringLiteral("b1c")}).type()
            == QDBusMessage::ReplyMessage;
    }

private:
    static inline const AtSpiRef kDevices{QStringLiteral("org.a11y.atspi.Registry"),
                                          QDBusObjectPath(QStringLiteral("/org/a11y/atspi/registry/deviceeventcontroller"))};
    bool generate(int code, uint type) const
    {
        return call(kDevices, "org.a11y.atspi.DeviceEventController", QStringLiteral("GenerateKeyboardEvent"), {code, QString(), type})
                   .type() == QDBusMessage::ReplyMessage;
    }

    QDBusMessage call(const AtSpiRef &ref, const char *interface, const QString &method,
                      const QVariantList &arguments = {}) const
    {
        QDBusMessage message =
            QDBusMessage::createMethodCall(ref.service, ref.path.path(), QString::fromLatin1(interface), method);
        message.setArguments(arguments);
        return m_bus.call(message, QDBus::Block, 5000);
    }
    // The first value of the answer; none on an error.
    QVariant answer(const AtSpiRef &ref, const char *interface, const QString &method, const QVariantList &arguments = {}) const
    {
        const QDBusMessage reply = call(ref, interface, method, arguments);
        return reply.type() == QDBusMessage::ReplyMessage ? reply.arguments().value(0) : QVariant();
    }

    QDBusConnection m_bus;
};

// A process of the test, ended with it.
struct Child
{
    ~Child() { stopProcess(process); }
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
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) {
            GTEST_SKIP() << "Xvfb is not installed";
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
        const QDBusMessage ask = QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                                                QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
        (void)QTest::qWaitFor([&] {
            m_a11yAddress = QDBusReply<QString>(session.call(ask, QDBus::Block, 2000)).value();
            return !m_a11yAddress.isEmpty();
        }, 20000);
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
        const QString libexec = QStringLiteral("/usr/libexec/at-spi-bus-launcher");
        return QFile::exists(libexec) ? libexec : QStringLiteral("/usr/lib/at-spi2-core/at-spi-bus-launcher");
    }

    // Runs vellory-cli on the test's own backup set.
    bool cli(const QStringList &arguments)
    {
        QProcess process;
        process.setProcessEnvironment(m_env);
        process.start(QStringLiteral(VELLORY_CLI_PATH), arguments);
        return process.waitForFinished(30000) && process.exitCode() == 0;
    }

    PrivateBus m_bus;
    QTemporaryDir m_home{QDir::tempPath() + QStringLiteral("/vellory-a11y-XXXXXX")};
    QProcessEnvironment m_env;
    Child m_x;
    Child m_launcher;
    Child m_app;
    QString m_a11yAddress;
};

TEST_F(Accessibility, EveryWindowIsNamedAndTheKeyboardReachesSourcesRestoreAndBackupNow)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, QStringLiteral("STICK"), 16);
    SKIP_WITHOUT(volume);
    // Two sources, backed up once to the stick, so "Backup Now" can be used
    // and the Restore window has items to show.
    QDir sources(m_home.filePath(QStringLiteral("home")));
    const QString notes = sources.filePath(QStringLiteral("Notes.txt")), letter = sources.filePath(QStringLiteral("Letters/ann.txt"));
    writeFile(notes, "milk\n");
    writeFile(letter, "milk\n");
    ASSERT_TRUE(cli({QStringLiteral("add"), sources.filePath(QStringLiteral("Letters"))}));
    ASSERT_TRUE(cli({QStringLiteral("add"), notes}));
    ASSERT_TRUE(cli({QStringLiteral("select-volume"), volume.mountPath()}));
    // The stick stays mounted after the run (the application's own settings file).
    const QString settings = QStringLiteral("config/%1/%2.conf").arg(platform::buildinfo::organizationName(), platform::buildinfo::applicationName());
    platform::Settings(m_home.filePath(settings)).setAutoEjectOnComplete(false);
    ASSERT_TRUE(cli({QStringLiteral("run")}));
    // The desktop's opener, as the application finds it on the PATH: it
    // writes down what it was asked to open.
    QFile opener(m_home.filePath(QStringLiteral("bin/xdg-open")));
    writeFile(opener.fileName(), "#!/bin/sh\necho \"$1\" >> \"$0.log\"\n");
    ASSERT_TRUE(opener.setPermissions(opener.permissions() | QFile::ExeOwner));
    m_env.insert(QStringLiteral("PATH"), m_home.filePath(QStringLiteral("bin:")) + m_env.value(QStringLiteral("PATH")));

    m_app.process.setProcessEnvironment(m_env);
    m_app.process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_app.process.start(QStringLiteral(VELLORY_APP_PATH), {});
    ASSERT_TRUE(m_app.process.waitForStarted(10000));
    ScreenReader reader(m_a11yAddress);
    const std::optional<AtSpiRef> app = reader.application(QStringLiteral("Vellory 2"), 30000);
    ASSERT_TRUE(app) << "the application never appeared on the accessibility bus; there were: "
                     << QStringList(reader.seenNames.values()).join(QStringLiteral(", ")).toStdString();

    QStringList problems;
    auto everything = [&] {
        QList<Seen> seen;
        reader.walk(*app, QString(), seen);
        for (const Seen &each : seen) {
            if (const QString problem = nameProblem(each); !problem.isEmpty()) {
                problems.append(problem + QStringLiteral("%1 \"%2\" in \"%3\"").arg(each.role, each.name, each.window));
            }
        }
        return seen;
    };
    using Match = std::function<bool(const Seen &)>;
    auto has = [](const QList<Seen> &seen, const Match &what) { return std::any_of(seen.cbegin(), seen.cend(), what); };
    // Reads the tree until something matches `what` (a window may take a while).
    auto waitFor = [&](const Match &what) {
        QList<Seen> seen;
        (void)QTest::qWaitFor([&] { return has(seen = everything(), what); }, 20000);
        return seen;
    };
    auto shows = [&](const Match &what) { return has(waitFor(what), what); };
    // An object of `role` (any when empty) named `name` (any when empty).
    auto is = [](const QString &role, const QString &name = {}) {
        return [role, name](const Seen &s) { return (role.isEmpty() || s.role == role) && (name.isEmpty() || s.name == name); };
    };
    auto nameWith = [](const QString &start, const QString &end = {}) {
        return [start, end](const Seen &s) { return s.name.startsWith(start) && s.name.endsWith(end); };
    };
    auto inWindow = [](const QString &title) { return [title](const Seen &s) { return s.window == title; }; };
    // Presses `key` and reads where the focus went, once it has moved on
    // from `from` (the machine may be slow to deliver the key). The focus is
    // on the innermost focused object: the scopes around it hold it too.
    auto focusAfter = [&](int key, const std::optional<Seen> &from) -> std::optional<Seen> {
        EXPECT_TRUE(reader.press(key));
        std::optional<Seen> focused;
        (void)QTest::qWaitFor([&] {
            const QList<Seen> seen = everything();
            const auto it = std::find_if(seen.crbegin(), seen.crend(), [](const Seen &s) { return s.has(kStateFocused); });
            focused = it == seen.crend() ? std::nullopt : std::optional<Seen>(*it);
            return focused && !(from && focused->name == from->name && focused->role == from->role);
        }, 3000);
        return focused;
    };
    // Tabs (at most `limit` times) until `visit`, called at each stop, is
    // done; returns the focus order when it never was.
    auto tabUntil = [&](int limit, const Match &visit) {
        QStringList order;
        for (std::optional<Seen> at; limit-- > 0;) {
            at = focusAfter(kKeyTab, at);
            if (at && visit(*at)) {
                return QString();
            }
            order.append(at ? at->role + QLatin1Char(' ') + at->name : QStringLiteral("(nothing)"));
        }
        return order.join(QStringLiteral(", "));
    };
    // Opens the menu of access key `menu` and picks `item` with Down and Enter.
    auto choose = [&](char menu, const QString &item) {
        EXPECT_TRUE(reader.press(menu, kAltMask));
        std::optional<Seen> at;
        for (int i = 0; i < 10 && !(at && at->name == item); ++i) {
            at = focusAfter(kKeyDown, at);
        }
        ASSERT_TRUE(at && at->role == QLatin1String("menu item") && at->name == item) << "Down never reached " << item.toStdString();
        EXPECT_TRUE(reader.press(kKeyReturn));
    };

    // The main window: its grid of sources is a named list of items named
    // after them; the volume panel's state reads as text.
    waitFor(is(QStringLiteral("list item")));
    QList<Seen> seen = waitFor(nameWith(QString(), QStringLiteral(" Available")));
    for (const Match &what : std::initializer_list<Match>{is(QStringLiteral("list item"), QStringLiteral("Letters")),
                                                          is(QStringLiteral("list item"), QStringLiteral("Notes.txt")),
                                                          [](const Seen &s) { return s.role == QLatin1String("list") && !s.name.isEmpty(); },
                                                          nameWith(QStringLiteral("Last Backup: ")),
                                                          nameWith(QString(), QStringLiteral(" Available"))}) {
        EXPECT_TRUE(has(seen, what)) << "the main window lacks a named list of the sources or the volume's state";
    }

    // The first Tab reaches "Share", Space opens the share panel, a dialog
    // named by its title; Escape closes it. Help > About opens the About
    // dialog, which Enter closes, and once more Escape.
    auto dialogNamed = [&](const QString &name) { QTest::qWait(600); return has(everything(), is(QStringLiteral("dialog"), name)); };
    ASSERT_TRUE(reader.press(kKeyTab));
    ASSERT_TRUE(reader.press(kKeySpace));
    EXPECT_TRUE(dialogNamed(QStringLiteral("Help us to spread the word"))) << "the share panel is not a named dialog";
    ASSERT_TRUE(reader.press(kKeyEscape));
    EXPECT_FALSE(dialogNamed(QStringLiteral("Help us to spread the word"))) << "Escape left the share panel open";
    for (const int key : {kKeyReturn, kKeyEscape}) {
        choose('h', QStringLiteral("About Vellory 2"));
        EXPECT_TRUE(dialogNamed(QStringLiteral("About Vellory 2"))) << "the About dialog is not a named dialog";
        ASSERT_TRUE(reader.press(key));
        EXPECT_FALSE(dialogNamed(QStringLiteral("About Vellory 2"))) << (key == kKeyEscape ? "Escape" : "Enter") << " left the About dialog open";
    }

    // File > Restore: each control of the Restore window named for what it
    // does; Tab reaches a folder (Enter opens it), a file's check box (Space
    // picks it) and then the window's main action. Ctrl+W closes the window.
    choose('f', QStringLiteral("Restore"));
    const QString pickNotes = QStringLiteral("Pick ") + notes, openLetters = QStringLiteral("Open ") + QFileInfo(letter).path();
    seen = waitFor(is(QStringLiteral("check box"), pickNotes));
    for (const auto &[role, name] : std::initializer_list<std::pair<QString, QString>>{
             {QStringLiteral("combo box"), QStringLiteral("Computer")}, {QStringLiteral("push button"), QStringLiteral("Up one folder")},
             {QStringLiteral("list"), QStringLiteral("Backed-up items")}, {QStringLiteral("list item"), openLetters},
             {QStringLiteral("check box"), pickNotes}, {QStringLiteral("radio button"), QStringLiteral("The original location")},
             {QStringLiteral("radio button"), QStringLiteral("Restore to this folder")}, {QStringLiteral("text"), QStringLiteral("Folder to restore to")},
             {QStringLiteral("push button"), QStringLiteral("Choose a folder to restore to")},
             {QStringLiteral("combo box"), QStringLiteral("When a local file differs")}, {QStringLiteral("push button"), QStringLiteral("Close")},
             {QStringLiteral("push button"), QStringLiteral("Restore the picked items")}}) {
        EXPECT_TRUE(has(seen, [&](const Seen &s) { return s.window == QLatin1String("Restore") && is(role, name)(s); }))
            << "the Restore window has no " << role.toStdString() << " named \"" << name.toStdString() << "\"";
    }
    bool opened = false, picked = false;
    const QString missed = tabUntil(30, [&](const Seen &at) {
        opened = opened || (at.name == openLetters && reader.press(kKeyReturn));
        picked = picked || (opened && at.name == QLatin1String("Pick ann.txt") && reader.press(kKeySpace));
        return at.role == QLatin1String("push button") && at.name == QLatin1String("Restore the picked items");
    });
    EXPECT_TRUE(picked && missed.isEmpty()) << "Tab did not open a folder, pick a file in it and reach Restore; focus went " << missed.toStdString();
    ASSERT_TRUE(reader.press('w', kControlMask));
    for (const AtSpiRef &window : reader.children(*app)) {
        ASSERT_TRUE(reader.name(window) != QLatin1String("Vellory 2") || reader.click(window));
    }

    // Tab goes round every control; it must reach a source and "Backup Now".
    // On a source Right moves to the next, Enter opens it, the Menu key
    // opens its menu, Delete removes it.
    std::optional<Seen> focusedSource;
    bool reachedBackupNow = false;
    auto openedBy = [&](const QString &name) {
        return QTest::qWaitFor([&] {
            QFile log(opener.fileName() + QStringLiteral(".log"));
            return log.open(QIODevice::ReadOnly) && QUrl(QString::fromUtf8(log.readAll()).trimmed()).toLocalFile() == sources.filePath(name);
        }, 5000);
    };
    const QString missedSources = tabUntil(40, [&](const Seen &focused) {
        if (focused.role == QLatin1String("list item") && !focusedSource) {
            focusedSource = focused;
            const auto next = focusAfter(kKeyRight, focused);
            EXPECT_TRUE(next && next->role == QLatin1String("list item") && next->name != focused.name) << "Right did not move to the next source";
            EXPECT_TRUE(reader.press(kKeyReturn) && next && openedBy(next->name)) << "Enter did not open the source";
            EXPECT_TRUE(reader.press(kKeyMenu));
            EXPECT_TRUE(shows(is(QStringLiteral("menu item"), QStringLiteral("Remove")))) << "the Menu key opened no menu with Remove";
            // The hint that takes the sources' place is read like the rest.
            EXPECT_TRUE(reader.press(kKeyEscape) && reader.press(kKeyDelete) && reader.press(kKeyDelete));
            const QList<Seen> emptied = waitFor(nameWith(QStringLiteral("or click on the")));
            EXPECT_FALSE(has(emptied, is(QStringLiteral("list item")))) << "Delete did not remove the sources";
            EXPECT_TRUE(has(emptied, nameWith(QStringLiteral("or click on the")))) << "the hint for an empty set is not read";
        }
        reachedBackupNow = reachedBackupNow || (focused.role == QLatin1String("push button") && focused.name.trimmed() == QLatin1String("Backup Now"));
        return focusedSource && reachedBackupNow;
    });
    EXPECT_TRUE(missedSources.isEmpty()) << "Tab did not reach a source and Backup Now; focus went " << missedSources.toStdString();
    EXPECT_TRUE(focusedSource && focusedSource->has(kStateSelected) && focusedSource->has(kStateFocusable))
        << "the focused source is not exposed as selected";

    // Space presses "Backup Now": the Backups window comes; Tab reaches a
    // job's "Log" and Space opens its log; Ctrl+, opens the settings.
    ASSERT_TRUE(reader.press(kKeySpace));
    ASSERT_TRUE(shows(inWindow(QStringLiteral("Backups"))));
    const QString missedLog = tabUntil(6, is(QString(), QStringLiteral("Log")));
    EXPECT_TRUE(missedLog.isEmpty()) << "Tab did not reach a job's Log button; focus went " << missedLog.toStdString();
    ASSERT_TRUE(reader.press(kKeySpace));
    EXPECT_TRUE(shows(inWindow(QStringLiteral("Backup Log"))));
    ASSERT_TRUE(reader.press(kKeyComma, kControlMask));
    EXPECT_TRUE(shows(inWindow(QStringLiteral("Settings"))));
    QTest::qWait(1500);
    seen = everything();
    for (const QString &window : {QStringLiteral("Backups"), QStringLiteral("Backup Log"), QStringLiteral("Settings")}) {
        EXPECT_TRUE(has(seen, inWindow(window))) << "not read: window " << window.toStdString();
    }
    problems.removeDuplicates();
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
}

} // namespace
