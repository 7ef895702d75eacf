#pragma once

#include "SourceFigures.h"

#include <QAbstractTableModel>
#include <QVector>

class AdAnalysis;

// The per-source table of the analysis with its totals row last: the texts of
// AnalysisExport::cells() for display, the numbers behind them under sortRole (an invalid
// value for a "—"), and isTotalRole true on the totals row.
class FiguresModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int sortRole = Qt::UserRole + 1;
    static constexpr int isTotalRole = Qt::UserRole + 2;

    using QAbstractTableModel::QAbstractTableModel;

    void setAnalysis(const AdAnalysis& analysis);
    const SourceFigures& figures(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QVector<SourceFigures> m_rows; // the sources, then the totals
};
