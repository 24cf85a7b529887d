#include "core/settings/ConfigFile.h"

#include <QFile>
#include <QSaveFile>

namespace tolvek {

QString configDestroyedMessage(const QString& prefix, const QString& configPath)
{
    return QStringLiteral("%1 %2 is destroyed.\r\ndelete the %3 and run Tolvek2.exe.")
        .arg(prefix, configPath, configPath);
}

namespace {

// Writes the whole file beside its final name and renames it into place, so a crash or a full
// disk never leaves a half-written configuration under the real name.
bool writeConfigAtomically(const QString& path, const QByteArray& bytes, bool* openFailed)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (openFailed)
            *openFailed = true;
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        file.commit();
        return false;
    }
    return file.commit();
}

} // namespace

LoadOutcome loadSettings(Settings& settings, const QString& configPath)
{
    LoadOutcome outcome;
    QFile file(configPath);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        file.close();
        const DecodedConfig decoded = decodeConfigBytes(bytes);
        settings.parse(decoded.text);
        if (!decoded.wasUtf8) {
            // A legacy or empty file is converted to UTF-8 at once.
            bool openFailed = false;
            outcome.rewritten = writeConfigAtomically(configPath, settings.serialize(), &openFailed);
        }
    } else {
        settings.clear();
        Settings defaults;
        bool openFailed = false;
        if (writeConfigAtomically(configPath, defaults.serialize(), &openFailed)) {
            settings.resetToDefaults();
            outcome.created = true;
        } else if (!openFailed) {
            outcome.messages << QString::fromLatin1(ConfigNotCreatedText);
        }
    }

    if (settings.value(SensorDirection).size() != 1) {
        outcome.messages << configDestroyedMessage(QString::fromLatin1(ConfigLoadStage), configPath);
        outcome.mustExit = true;
        return outcome;
    }
    settings.updateCaptureSize();
    return outcome;
}

QStringList saveSettings(Settings& settings, const QString& configPath, const QList<int>& columnWidths)
{
    QStringList messages;
    if (columnWidths.size() >= 5) {
        settings.setValue(ListColumnWidths, QStringLiteral("%1,%2,%3,%4,%5")
                                                .arg(columnWidths[0])
                                                .arg(columnWidths[1])
                                                .arg(columnWidths[2])
                                                .arg(columnWidths[3])
                                                .arg(columnWidths[4]));
    }
    bool openFailed = false;
    if (!writeConfigAtomically(configPath, settings.serialize(), &openFailed)) {
        if (openFailed) {
            messages << QString::fromLatin1(ConfigCannotWriteText);
            return messages;
        }
        messages << QString::fromLatin1(ConfigNotSavedText);
    }
    if (settings.value(SensorDirection).size() != 1)
        messages << configDestroyedMessage(QString::fromLatin1(ConfigSaveStage), configPath);
    return messages;
}

} // namespace tolvek
