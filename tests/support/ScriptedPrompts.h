#pragma once
// UserPrompts for widget tests: records every text shown and answers from a script.

#include "core/platform/ProfileStore.h"
#include "ui/app/UserPrompts.h"

#include <QMap>
#include <deque>

namespace tolvek::test {

class ScriptedPrompts : public UserPrompts {
public:
    QStringList messages;
    QStringList questions;
    int beeps = 0;
    std::deque<bool> answers;       // question answers, Yes when empty
    std::deque<QString> folders;    // folder picker results, cancelled when empty
    std::deque<QString> saveFiles;  // save dialog results, cancelled when empty

    void message(QWidget*, const QString& text, Icon) override { messages << text; }
    bool question(QWidget*, const QString& text, const QString&, bool) override
    {
        questions << text;
        if (answers.empty())
            return true;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    QString pickFolder(QWidget*, const QString&, const QString&) override { return take(folders); }
    QString pickSaveFile(QWidget*, const QString&, const QString&, const QString&) override { return take(saveFiles); }
    void beep() override { ++beeps; }

private:
    static QString take(std::deque<QString>& q)
    {
        if (q.empty())
            return {};
        QString s = q.front();
        q.pop_front();
        return s;
    }
};

// A profile kept in memory.
class MemoryProfile : public platform::ProfileStore {
public:
    QMap<QString, int> values;
    int readInt(const QString& section, const QString& entry, int def) const override
    {
        return values.value(section + u'/' + entry, def);
    }
    void writeInt(const QString& section, const QString& entry, int value) override
    {
        values[section + u'/' + entry] = value;
    }
};

}  // namespace tolvek::test
