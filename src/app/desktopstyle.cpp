#include "app/desktopstyle.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QQuickStyle>

namespace {

constexpr int kPortalTimeoutMs = 300;

/// The portal answers a variant holding a variant holding the value.
QVariant unwrap(QVariant value)
{
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>()) {
        value = value.value<QDBusVariant>().variant();
    }
    return value;
}

DesktopStyle::ColorScheme portalColorScheme()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return DesktopStyle::ColorScheme::NoPreference;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Settings"), QStringLiteral("Read"));
    call << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme");
    const QDBusMessage reply = bus.call(call, QDBus::Block, kPortalTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return DesktopStyle::ColorScheme::NoPreference;
    }
    // 0: no preference, 1: prefer dark, 2: prefer light.
    switch (unwrap(reply.arguments().constFirst()).toUInt()) {
    case 1: return DesktopStyle::ColorScheme::Dark;
    case 2: return DesktopStyle::ColorScheme::Light;
    default: return DesktopStyle::ColorScheme::NoPreference;
    }
}

} // namespace

void DesktopStyle::apply()
{
    if (qEnvironmentVariableIsEmpty("QT_QUICK_CONTROLS_STYLE")) {
        QQuickStyle::setStyle(QStringLiteral("Fusion"));
    }
    // A desktop theme plugin that gives Qt a dark palette is followed as is;
    // only a desktop that prefers dark without telling Qt gets ours.
    if (desktopColorScheme() == ColorScheme::Dark && !isDark(QGuiApplication::palette())) {
        QGuiApplication::setPalette(darkPalette());
    }
}

DesktopStyle::ColorScheme DesktopStyle::desktopColorScheme()
{
    const ColorScheme portal = portalColorScheme();
    if (portal != ColorScheme::NoPreference) {
        return portal;
    }
    return schemeFromGtkTheme(qEnvironmentVariable("GTK_THEME"));
}

DesktopStyle::ColorScheme DesktopStyle::schemeFromGtkTheme(const QString &gtkTheme)
{
    const QString theme = gtkTheme.trimmed().toLower();
    if (theme.isEmpty()) {
        return ColorScheme::NoPreference;
    }
    return theme.endsWith(QLatin1String(":dark")) || theme.endsWith(QLatin1String("-dark")) ? ColorScheme::Dark
                                                                                            : ColorScheme::Light;
}

bool DesktopStyle::isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

QPalette DesktopStyle::darkPalette()
{
    const QColor window(0x30, 0x30, 0x30);
    const QColor base(0x24, 0x24, 0x24);
    const QColor text(0xee, 0xee, 0xee);
    const QColor disabledText(0x80, 0x80, 0x80);
    const QColor highlight(0x35, 0x84, 0xe4);

    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::ToolTipBase, QColor(0x1e, 0x1e, 0x1e));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, disabledText);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Light, QColor(0x4a, 0x4a, 0x4a));
    palette.setColor(QPalette::Midlight, QColor(0x3e, 0x3e, 0x3e));
    palette.setColor(QPalette::Mid, QColor(0x5a, 0x5a, 0x5a));
    palette.setColor(QPalette::Dark, QColor(0x1a, 0x1a, 0x1a));
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Highlight, highlight);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x78, 0xae, 0xed));
    palette.setColor(QPalette::LinkVisited, QColor(0xb0, 0x8c, 0xe8));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, disabledText);
    }
    palette.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x50, 0x50, 0x50));
    return palette;
}
