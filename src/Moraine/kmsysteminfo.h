#pragma once

#include "Moraine/kmresult.h"
#include "platform/systemfacts.h"

#include <QString>

#include <functional>

namespace moraine {

/// Stateless system queries for the feedback report, answered from a
/// facts source. Failures become texts or error values, never exceptions.
class KMSystemInfo
{
public:
    explicit KMSystemInfo(const platform::SystemFacts &facts = platform::systemFacts());

    /// The marketing name, else the model identifier.
    [[nodiscard]] QString modelName() const;
    /// A name people know the machine by ("ThinkPad X1 Carbon Gen 9").
    [[nodiscard]] KMResult<QString> marketingName() const;
    /// The maker and product name of the machine.
    [[nodiscard]] KMResult<QString> productName() const;
    /// The firmware's serial number. Never written into the report.
    [[nodiscard]] KMResult<QString> serialNumber() const;
    /// The firmware's product identifier, else "Failed with Error: " + code.
    [[nodiscard]] QString modelIdentifier() const;
    /// 0 when the program runs natively; 1 when its architecture differs from
    /// the machine's (emulation); -1 when the machine's cannot be read.
    [[nodiscard]] int isTranslated() const;
    /// The machine's processor type as an ELF machine number; -1 if unknown.
    [[nodiscard]] int cpuType() const;
    /// How this copy was installed: package with name and version, Flatpak,
    /// Snap, AppImage or "Local build"; a failure text when that is unknown.
    [[nodiscard]] QString signingIdentity() const;
    /// The processor's brand text; short: its "i9"/"i7"/"i5"/"i3" tier if any.
    [[nodiscard]] QString cpuName(bool shortName) const;
    /// Clock rate in GHz; -1.0 when the system publishes none, -2.0 when it
    /// cannot be read.
    [[nodiscard]] double cpuGigahertz() const;

    [[nodiscard]] const platform::SystemFacts &facts() const { return m_facts; }

private:
    const platform::SystemFacts &m_facts;
};

} // namespace moraine
