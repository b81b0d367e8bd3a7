// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rules/ReportView.h"

#include "model/UTypes.h"
#include "platform/Cp1251.h"
#include "platform/Numbers.h"
#include "settings/UCommon.h"
#include "ui/rules/ElapsedTime.h"
#include "ui/rules/ResultGauges.h"

TReportView MakeReportView(const TReportInputs& inputs) {
    TReportView view;
    view.Values[rrUser] = inputs.User;
    view.Values[rrGroup] = inputs.Group;
    view.Values[rrTest] = inputs.TestName;
    if (inputs.TestTaken && !inputs.TestOpened) {
        view.Heading = NotOpenedHeading();
    }
    if (!inputs.TestTaken || !inputs.TestOpened) {
        return view;
    }
    const int seconds = ElapsedSeconds(inputs.StartTime, inputs.EndTime);
    view.Values[rrProblems] = std::to_string(inputs.Problems);
    view.Values[rrPoints] = FormatGeneral(inputs.Points);
    view.Values[rrMark] = std::to_string(inputs.Mark);
    view.Values[rrTime] = ElapsedTimeText(seconds);
    view.GaugesShown = true;
    view.SpeedPosition = GaugePosition(SpeedRatio(inputs.Problems, seconds));
    view.CorrectnessPosition = GaugePosition(CorrectnessRatio(inputs.Points, inputs.Problems));
    view.SpeedPicture = GaugePicture(view.SpeedPosition);
    view.CorrectnessPicture = GaugePicture(view.CorrectnessPosition);
    return view;
}

const std::string& NotOpenedHeading() {
    static const std::string text = Utf8ToCp1251("Тест не удалось открыть");
    return text;
}

TReportInputs CurrentReportInputs(const TSettings& settings, TTezra& test) {
    TReportInputs inputs;
    inputs.User = settings.User;
    inputs.Group = settings.StudentGroup;
    inputs.TestName = settings.TestName;
    inputs.TestTaken = !settings.TestFile.empty();
    inputs.TestOpened = !test.Selected.empty();
    if (inputs.TestTaken) {
        inputs.Problems = static_cast<int>(test.Selected.size());
        inputs.Points = test.GetPoints();
        inputs.Mark = test.GetMark(inputs.Points);
        inputs.StartTime = settings.StartTime;
        inputs.EndTime = settings.EndTime;
    }
    return inputs;
}
