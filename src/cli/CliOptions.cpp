#include "CliOptions.h"

CliOptions::CliOptions(const QStringList& args, const QSet<QString>& valued,
                       const QSet<QString>& flags)
    : CliOptions(args, valued, flags,
                 {0, 0, QStringLiteral("лишние аргументы: команда их не принимает")})
{
}

CliOptions::CliOptions(const QStringList& args, const QSet<QString>& valued,
                       const QSet<QString>& flags, const Positional& positional)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            continue; // the runner answers it before the options are read
        } else if (arg.startsWith("--")) {
            QString name = arg.mid(2);
            QString value;
            const qsizetype eq = name.indexOf('=');
            const bool inlineValue = eq >= 0;
            if (inlineValue) {
                value = name.mid(eq + 1);
                name = name.left(eq);
            }
            if (flags.contains(name) && !inlineValue) {
                m_flags.insert(name);
            } else if (valued.contains(name)) {
                if (!inlineValue) {
                    if (i + 1 >= args.size()) {
                        m_error = QStringLiteral("параметру --%1 нужно значение").arg(name);
                        return;
                    }
                    value = args[++i];
                }
                m_values.insert(name, value);
            } else {
                m_error = QStringLiteral("неизвестный параметр --%1").arg(name);
                return;
            }
        } else {
            m_positional << arg;
        }
    }
    if (m_positional.size() < positional.fewest || m_positional.size() > positional.most)
        m_error = positional.refusal;
}
