// Time of one paint pass of the progress bar (target: under 0.5 ms), drawn
// into a bitmap as wide as the main window's bar: 317 x 12 dialog units.
// wx needs a display: run it under xvfb-run when there is none.

#include <cstdio>
#include <memory>

#include <benchmark/benchmark.h>
#include <wx/app.h>
#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/init.h>
#include <wx/settings.h>

#include "ui/band_plan.h"
#include "ui/gradient_progress_ctrl.h"

namespace {

using tarnwick::CGradientProgressCtrl;

struct BarFixture {
    wxFrame* frame = nullptr;
    CGradientProgressCtrl* bar = nullptr;
    wxSize client;
};

BarFixture* fixture = nullptr;

void ConfigureAsTheWindowDoes(CGradientProgressCtrl& bar)
{
    bar.SetLimits(0, 100);
    bar.SetPosition(0);
    bar.SetPercentVisible(true);
    bar.SetLeftColor(0x808000);
    bar.SetRightColor(0x800000);
    bar.SetPercentColor(0x008000);
}

void PaintPass(benchmark::State& state)
{
    fixture->bar->SetPosition(static_cast<std::int32_t>(state.range(0)));
    fixture->bar->SetPercentVisible(state.range(1) != 0);
    wxBitmap bitmap(fixture->client.x, fixture->client.y, 24);
    wxMemoryDC dc(bitmap);
    for (auto _ : state) {
        fixture->bar->PaintPass(dc, fixture->client);
    }
    state.SetLabel(std::to_string(fixture->client.x) + "x" + std::to_string(fixture->client.y) +
                   " px");
}
// Position 0: empty bar and strip; 50: half the bands; 100: all 128 bands;
// each with the label shown (1) and hidden (0).
BENCHMARK(PaintPass)
    ->ArgsProduct({{0, 50, 100}, {1, 0}})
    ->ArgNames({"position", "label"})
    ->Unit(benchmark::kMicrosecond);

void BandPlanOnly(benchmark::State& state)
{
    tarnwick::BarSettings settings{0, 100, 0x808000, 0x800000, 0x008000, true};
    for (auto _ : state) {
        auto plan = tarnwick::PlanBar(settings, 100, 0xC0C0C0, 0xC0C0C0, fixture->client.x,
                                      fixture->client.y);
        benchmark::DoNotOptimize(plan);
    }
}
BENCHMARK(BandPlanOnly)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv)
{
    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    wxApp::SetInstance(new wxApp);  // owned by wx until wxEntryCleanup
    if (!wxEntryStart(wxArgc, wxArgv) || !wxTheApp->CallOnInit()) {
        std::fprintf(stderr, "wx could not start (no display? try xvfb-run -a)\n");
        return 1;
    }
    BarFixture bars;
    bars.frame = new wxFrame(nullptr, wxID_ANY, "bench");
    bars.client = bars.frame->ConvertDialogToPixels(wxSize(317, 12));
    bars.bar = new CGradientProgressCtrl(bars.frame, wxID_ANY, wxDefaultPosition, bars.client,
                                         wxBORDER_NONE);
    ConfigureAsTheWindowDoes(*bars.bar);
    fixture = &bars;

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    bars.frame->Destroy();
    wxEntryCleanup();
    return 0;
}
