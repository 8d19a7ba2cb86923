#include "cli/fieldassignment.h"

#include "app/messages.h"

namespace {

const QChar Equals = QLatin1Char('=');

QString assignmentFailure(const FieldAssignment &assignment, ConfigForm &form)
{
    const QString problem = form.assign(assignment.field, assignment.value);
    return problem.isEmpty() ? problem
                             : QStringLiteral("%1 : %2").arg(assignment.name, problem);
}

} // namespace

ParsedAssignments parseAssignments(const QStringList &arguments)
{
    ParsedAssignments parsed;
    if (arguments.isEmpty()) {
        parsed.failure = QStringLiteral("set : au moins un CHAMP=VALEUR est attendu (champs : %1)")
                             .arg(fieldNames().join(QStringLiteral(", ")));
        return parsed;
    }
    ConfigForm scratch;
    for (const QString &argument : arguments) {
        const int equals = argument.indexOf(Equals);
        if (equals <= 0) {
            parsed.failure = QStringLiteral("%1 : CHAMP=VALEUR est attendu").arg(quoted(argument));
            return parsed;
        }
        const QString name = argument.left(equals);
        const std::optional<FieldSpec> field = findField(name);
        if (!field) {
            parsed.failure = QStringLiteral("champ inconnu %1 (champs : %2)")
                                 .arg(quoted(name), fieldNames().join(QStringLiteral(", ")));
            return parsed;
        }
        const FieldAssignment assignment{*field, name, argument.mid(equals + 1)};
        parsed.failure = assignmentFailure(assignment, scratch);
        if (!parsed.failure.isEmpty())
            return parsed;
        parsed.assignments.push_back(assignment);
    }
    return parsed;
}

QString applyAssignments(const std::vector<FieldAssignment> &assignments, ConfigForm &form)
{
    for (const FieldAssignment &assignment : assignments) {
        const QString failure = assignmentFailure(assignment, form);
        if (!failure.isEmpty())
            return failure;
    }
    return form.failure();
}
