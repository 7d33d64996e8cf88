#include "measure/ui/ChartForm.h"

#include "measure/ChartSvg.h"
#include "platform/Platform.h"

#include <QFile>
#include <QFileInfo>
#include <QTime>
#include <QTimer>
#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <cmath>

using platform::Buttons;
using platform::Icon;

namespace {
constexpr int TailMs = 500;       // how often a log is looked at for new rows
constexpr qint64 Chunk = 4 << 20; // read at most this much at once
constexpr double Headroom = 0.1;  // following, the x axis runs this share past the last point
const QColor LineColour(32, 96, 192);
} // namespace

ChartForm::ChartForm(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint) {
    ui.setupUi(this);
    chart_ = new QChart();
    chart_->legend()->hide();
    axisX_ = new QValueAxis(chart_);
    axisY_ = new QValueAxis(chart_);
    axisY_->setTitleText(QStringLiteral("Measured"));
    chart_->addAxis(axisX_, Qt::AlignBottom);
    chart_->addAxis(axisY_, Qt::AlignLeft);
    dots_ = new QScatterSeries(chart_);
    dots_->setMarkerSize(4);
    dots_->setColor(LineColour);
    dots_->setBorderColor(LineColour);
    marksSeries_ = new QScatterSeries(chart_);
    marksSeries_->setMarkerSize(12);
    marksSeries_->setColor(Qt::transparent);
    marksSeries_->setBorderColor(QColor(192, 0, 0));
    for (QXYSeries* s : {static_cast<QXYSeries*>(dots_), static_cast<QXYSeries*>(marksSeries_)}) {
        chart_->addSeries(s);
        s->attachAxis(axisX_);
        s->attachAxis(axisY_);
    }
    ui.Chart_Plot->setChart(chart_);
    Timer_Tail = new QTimer(this);
    Timer_Tail->setInterval(TailMs);
    ConnectHandlers();
}

ChartForm::~ChartForm() = default;

void ChartForm::ConnectHandlers() {
    connect(ui.Button_Reset, &QPushButton::clicked, this, &ChartForm::Button_Reset_Click);
    connect(ui.Check_Follow, &QCheckBox::clicked, this, &ChartForm::Check_Follow_Click);
    connect(ui.Button_ExportPng, &QPushButton::clicked, this, &ChartForm::Button_ExportPng_Click);
    connect(ui.Button_ExportSvg, &QPushButton::clicked, this, &ChartForm::Button_ExportSvg_Click);
    connect(ui.Chart_Plot, &ChartPlotView::userMoved, this, &ChartForm::Chart_Plot_UserMoved);
    connect(ui.Chart_Plot, &ChartPlotView::pointerAt, this, &ChartForm::Chart_Plot_PointerAt);
    connect(Timer_Tail, &QTimer::timeout, this, &ChartForm::Timer_Tail_Timer);
    // A zoom or pan changes the range: reduce again for it, once the change is complete.
    connect(axisX_, &QValueAxis::rangeChanged, this, [this] {
        if (settingRange_ || redrawQueued_) return;
        redrawQueued_ = true;
        QTimer::singleShot(0, this, [this] {
            redrawQueued_ = false;
            Redraw(true);
        });
    });
}

ChartForm* ChartForm::ShowFile(QWidget* mainWindow, const QString& path) {
    auto* form = new ChartForm(mainWindow);
    form->setAttribute(Qt::WA_DeleteOnClose);
    if (!form->Open(path)) {
        platform::MsgBox("Open Log File in Chart",
                         QFileInfo(path).fileName() + " is not a log that Sequor wrote.\n\n" +
                             form->error(),
                         Buttons::Ok, Icon::Critical);
        delete form;
        return nullptr;
    }
    form->show();
    return form;
}

bool ChartForm::Open(const QString& path, bool live) {
    path_ = path;
    live_ = live;
    offset_ = 0;
    error_.clear();
    reader_ = {};
    data_.clear();
    reduced_ = {};
    marks_.clear();
    const QString name = QFileInfo(path).fileName();
    setWindowTitle(name);
    chart_->setTitle(name);
    ui.Check_Follow->setChecked(true);
    const bool ok = ReadMore();
    if (ok && !live && !reader_.headerRead()) {
        // Nothing more will come for a file that is not being written: say what is missing.
        chart::LogReader rest = reader_;
        rest.finish();
        error_ = rest.error();
    }
    Redraw(true);
    Timer_Tail->start();
    return error_.isEmpty();
}

bool ChartForm::ReadMore() {
    if (!error_.isEmpty()) return false;
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) return true; // not there yet, or gone for a moment
    if (file.size() < offset_) {
        // Replaced by a new log of the same name: start again.
        offset_ = 0;
        reader_ = {};
        data_.clear();
        reduced_ = {};
        marks_.clear();
    }
    if (!file.seek(offset_)) return true;
    const chart::XColumn before = reader_.xColumn();
    for (QByteArray bytes; !(bytes = file.read(Chunk)).isEmpty();) {
        offset_ += bytes.size();
        const bool ok = reader_.feed(bytes);
        for (const chart::LogPoint& p : reader_.take())
            data_.append(PlotX(p.x), p.y);
        if (!ok) {
            error_ = reader_.error();
            Timer_Tail->stop();
            return false;
        }
    }
    if (reader_.headerRead() && (before != reader_.xColumn() || axisX_->titleText().isEmpty()))
        axisX_->setTitleText(reader_.xColumn() == chart::XColumn::Sequence
                                 ? reader_.xTitle()
                                 : reader_.xTitle() + QStringLiteral(" (h)"));
    return true;
}

double ChartForm::PlotX(double logX) const {
    // Times are plotted in hours, so the axis reads well from minutes to days.
    return reader_.xColumn() == chart::XColumn::Sequence ? logX : logX / 3600.0;
}

QString ChartForm::XText(double plotX) const {
    if (reader_.xColumn() == chart::XColumn::Sequence)
        return QStringLiteral("Sequence %1").arg(std::llround(plotX));
    const qint64 seconds = std::llround(plotX * 3600.0);
    if (reader_.xColumn() == chart::XColumn::PcTime) {
        const QString day =
            seconds >= 86400 ? QStringLiteral(" (+%1 d)").arg(seconds / 86400) : QString();
        return QStringLiteral("Time ") +
               QTime::fromMSecsSinceStartOfDay(int(seconds % 86400) * 1000)
                   .toString(QStringLiteral("HH:mm:ss")) +
               day;
    }
    return QStringLiteral("Time From Start %1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void ChartForm::RowWritten() {
    if (ReadMore())
        Redraw(false);
    else
        ShowStatus();
}

void ChartForm::Timer_Tail_Timer() {
    const std::size_t before = data_.size();
    const bool ok = ReadMore();
    if (!ok || data_.size() != before) Redraw(false);
}

void ChartForm::SetLevels(const QList<double>& levels) {
    levels_ = levels;
    Redraw(true);
}

void ChartForm::ConditionMet() {
    for (std::size_t i = data_.size(); i-- > 0;)
        if (!std::isnan(data_.y(i))) {
            marks_.append(QPointF(data_.x(i), data_.y(i)));
            break;
        }
    marksSeries_->replace(marks_);
}

void ChartForm::Redraw(bool full) {
    const int columns = std::max(1, int(chart_->plotArea().width()));
    if (ui.Check_Follow->isChecked() && data_.size() > 0) {
        const double first = data_.x(0), last = data_.x(data_.size() - 1);
        double x0 = axisX_->min(), x1 = axisX_->max();
        if (full || x0 != first || last > x1 || reduced_.columns != columns) {
            x0 = first;
            x1 = last + std::max((last - first) * Headroom, 1e-9);
            full = true;
        }
        double low = 0, high = 1;
        if (data_.yRange(low, high)) {
            for (double level : levels_) {
                low = std::min(low, level);
                high = std::max(high, level);
            }
            const double pad =
                high > low ? (high - low) * 0.05 : std::max(std::fabs(low) * 0.05, 1.0);
            low -= pad;
            high += pad;
        }
        settingRange_ = true;
        axisX_->setRange(x0, x1);
        if (low < axisY_->min() || high > axisY_->max() || full) axisY_->setRange(low, high);
        settingRange_ = false;
    }
    if (full || reduced_.columns != columns || !data_.extend(reduced_))
        reduced_ = data_.reduce(axisX_->min(), axisX_->max(), columns);
    ShowSeries();
    ShowStatus();
}

void ChartForm::ShowSeries() {
    QList<QPointF> singles;
    std::size_t used = 0;
    for (const QList<QPointF>& segment : reduced_.segments) {
        if (segment.size() == 1) {
            singles.append(segment[0]);
            continue;
        }
        if (used == lines_.size()) {
            auto* line = new QLineSeries(chart_);
            line->setColor(LineColour);
            chart_->addSeries(line);
            line->attachAxis(axisX_);
            line->attachAxis(axisY_);
            lines_.push_back(line);
        }
        QLineSeries* line = lines_[used++];
        if (line->points() != segment) line->replace(segment);
    }
    for (std::size_t i = used; i < lines_.size(); ++i)
        if (lines_[i]->count() > 0) lines_[i]->clear();
    if (dots_->points() != singles) dots_->replace(singles);

    while (levelSeries_.size() < std::size_t(levels_.size())) {
        auto* level = new QLineSeries(chart_);
        QPen pen(QColor(208, 128, 0));
        pen.setStyle(Qt::DashLine);
        level->setPen(pen);
        chart_->addSeries(level);
        level->attachAxis(axisX_);
        level->attachAxis(axisY_);
        levelSeries_.push_back(level);
    }
    for (std::size_t i = 0; i < levelSeries_.size(); ++i) {
        const QList<QPointF> ends = i < std::size_t(levels_.size())
                                        ? QList<QPointF>{{axisX_->min(), levels_[qsizetype(i)]},
                                                         {axisX_->max(), levels_[qsizetype(i)]}}
                                        : QList<QPointF>{};
        if (levelSeries_[i]->points() != ends) levelSeries_[i]->replace(ends);
    }
}

void ChartForm::ShowStatus() {
    QString text = QStringLiteral("%1 rows, %2 not numbers")
                       .arg(data_.size() + (reader_.endedInvalid() ? 1 : 0))
                       .arg(reader_.nonNumbers());
    if (reader_.endedInvalid()) text += QStringLiteral("; the run ended on an invalid measurement");
    if (!error_.isEmpty()) text += QStringLiteral("; reading stopped at ") + error_;
    ui.Label_Status->setText(text);
}

QList<QList<QPointF>> ChartForm::DrawnSegments() const {
    QList<QList<QPointF>> out;
    for (QLineSeries* line : lines_)
        if (line->count() > 0) out.append(line->points());
    for (const QPointF& p : dots_->points())
        out.append({p});
    return out;
}

void ChartForm::Button_Reset_Click() {
    ui.Check_Follow->setChecked(true);
    Redraw(true);
}

void ChartForm::Check_Follow_Click() {
    if (ui.Check_Follow->isChecked()) Redraw(true);
}

void ChartForm::Chart_Plot_UserMoved() {
    ui.Check_Follow->setChecked(false);
}

void ChartForm::Chart_Plot_PointerAt(QPointF value) {
    const QRectF area = chart_->plotArea();
    const double xSpan = axisX_->max() - axisX_->min(), ySpan = axisY_->max() - axisY_->min();
    if (!(xSpan > 0 && ySpan > 0)) return;
    const std::ptrdiff_t i =
        data_.nearest(value.x(), value.y(), area.width() / xSpan, area.height() / ySpan);
    if (i < 0) return;
    ui.Label_Cursor->setText(XText(data_.x(std::size_t(i))) + QStringLiteral("   Measured ") +
                             QString::number(data_.y(std::size_t(i)), 'g', 12));
}

void ChartForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // The plot's columns changed: reduce again once the layout has settled.
    QTimer::singleShot(0, this, [this] { Redraw(true); });
}

QString ChartForm::ExportName(const QString& extension) const {
    QString base = QFileInfo(path_).fileName();
    if (base.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)) base.chop(4);
    return base + QLatin1Char('.') + extension;
}

namespace {
QString ChooseExport(const QString& folder, const QString& name, const QString& filter,
                     const QString& extension) {
    platform::FileDialogRequest request;
    request.title = QStringLiteral("Export Chart");
    request.folder = folder;
    request.proposedName = name;
    request.filter = filter;
    request.defaultExtension = extension;
    const platform::FileDialogResult result = platform::Sys().saveFileDialog(request);
    return result.cancelled ? QString() : result.fullPath;
}

void CannotWrite(const QString& path) {
    platform::MsgBox("File Error", "Can't write file " + QFileInfo(path).fileName() + ".",
                     Buttons::Ok, Icon::Critical);
}
} // namespace

void ChartForm::Button_ExportPng_Click() {
    const QString path = ChooseExport(QFileInfo(path_).absolutePath(), ExportName("png"),
                                      "PNG image (*.png)|*.png", "png");
    if (path.isEmpty()) return;
    if (!ui.Chart_Plot->grab().save(path, "PNG")) CannotWrite(path);
}

void ChartForm::Button_ExportSvg_Click() {
    const QString path = ChooseExport(QFileInfo(path_).absolutePath(), ExportName("svg"),
                                      "SVG drawing (*.svg)|*.svg", "svg");
    if (path.isEmpty()) return;
    chart::SvgChart svg;
    svg.size = ui.Chart_Plot->size();
    svg.plotArea = ui.Chart_Plot->mapFromScene(chart_->plotArea()).boundingRect();
    svg.title = chart_->title();
    svg.xTitle = axisX_->titleText();
    svg.yTitle = axisY_->titleText();
    svg.x0 = axisX_->min();
    svg.x1 = axisX_->max();
    svg.y0 = axisY_->min();
    svg.y1 = axisY_->max();
    const auto ticks = [](const QValueAxis* axis) {
        QList<QPair<double, QString>> out;
        const int n = std::max(2, axis->tickCount());
        for (int k = 0; k < n; ++k) {
            const double v = axis->min() + (axis->max() - axis->min()) * k / (n - 1);
            out.append({v, QString::number(v, 'g', 6)});
        }
        return out;
    };
    svg.xTicks = ticks(axisX_);
    svg.yTicks = ticks(axisY_);
    svg.segments = reduced_.segments;
    svg.levels = levels_;
    svg.marks = marks_;
    QFile file(path);
    const QByteArray bytes = chart::ChartSvg(svg);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        CannotWrite(path);
}
