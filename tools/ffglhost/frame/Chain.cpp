// A render as a chain of stages (see Chain.h).
#include "frame/Chain.h"

#include "frame/FrameCall.h"

namespace ffglhost {

std::vector<StagePlan> chainPlan(const Options& o)
{
    std::vector<StagePlan> plans(1);
    plans[0].role = StageRole::First;
    plans[0].path = o.pluginPath;
    plans[0].inputs = o.inputs;
    plans[0].settings = o.settings;
    for (const ThenStage& t : o.thenStages) {
        StagePlan p;
        p.role = StageRole::Then;
        p.path = t.pluginPath;
        p.inputs = t.inputs;
        p.settings = t.settings;
        plans.push_back(std::move(p));
    }
    return plans;
}

Chain::~Chain()
{
    if (started_)
        stop();
}

Status Chain::open(const std::vector<StagePlan>& plans, int width, int height, bool potInputs, std::size_t mostPlugins)
{
    last_.reset();
    stages_.clear();
    main_.clear();
    layout_ = potInputs ? TextureLayout::PowerOfTwo : TextureLayout::Exact;
    for (std::size_t i = 0; i < plans.size(); ++i) {
        const std::string name =
            plans.size() > 1 ? "stage " + std::to_string(i + 1) + " of " + std::to_string(plans.size()) : std::string();
        auto stage = std::make_unique<Stage>(plans[i], std::move(last_), name);
        Status s = stage->open(width, height);
        last_ = std::move(stage);
        main_.push_back(last_.get());
        if (!s.ok())
            return s;
        std::vector<Stage*> loaded;
        last_->collectStages(loaded);
        if (loaded.size() > mostPlugins)
            return Status::badInput("a render loads at most " + std::to_string(mostPlugins) +
                                    " plug-ins (stages, plug-in inputs and --also together)");
    }
    last_->collectStages(stages_);
    if (potInputs) {
        bool any = false;
        for (const Stage* s : stages_)
            any = any || s->takesInputs();
        if (!any)
            return Status::badInput("--pot-inputs lays out the input textures of effects, and " + plans[0].path +
                                    " is a " + pluginTypeName(main_[0]->description().type) +
                                    " that takes none (give an effect, or chain one with --then)");
    }
    return Status();
}

Status Chain::start()
{
    started_ = true;
    frame_ = 0;
    return last_->startOutput(layout_);
}

Status Chain::renderFrame(double& ms)
{
    Status s = last_->renderFrame(++frame_);
    ms = 0.0;
    for (const Stage* stage : stages_)
        ms += stage->lastFrameMs();
    return s;
}

Status Chain::restart(const std::vector<ResolvedSetting>* settings)
{
    frame_ = 0;
    return last_->restart(settings);
}

std::string Chain::name() const
{
    std::string out;
    for (const Stage* s : main_)
        out += (out.empty() ? "" : " -> ") + printable(s->description().name);
    return out;
}

std::string Chain::fileName() const
{
    std::string out;
    for (const Stage* s : main_)
        out += (out.empty() ? "" : "-") + s->description().name;
    return out;
}

Status Chain::reportLines(std::vector<std::string>& lines, bool namePlugins) const
{
    for (const Stage* stage : stages_) {
        const std::string of = " of " + printable(stage->description().name);
        for (std::size_t slot = 0; slot < stage->inputCount(); ++slot)
            lines.push_back("input " + std::to_string(slot) + of + ": " +
                            printable(stage->input(slot).label()));
        for (const ResolvedSetting& setting : stage->settings()) {
            std::string line;
            Status s = parameterLine(stage->instance(), *setting.parameter, line,
                                     namePlugins || stages_.size() > 1 ? of : std::string());
            if (!s.ok())
                return s;
            lines.push_back(line);
        }
    }
    return Status();
}

void Chain::stop()
{
    if (last_ != nullptr)
        last_->stop();
    started_ = false;
}

} // namespace ffglhost
