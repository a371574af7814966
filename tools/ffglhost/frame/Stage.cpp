// One plug-in of a render and what feeds it (see Stage.h).
#include "frame/Stage.h"

#include "frame/FrameCall.h"
#include "inputs/InputFactory.h"
#include "inputs/PatternInput.h"

#include <GL/gl.h>

namespace ffglhost {

namespace {

// The patterns an effect's unfilled slots up to its minimum get, slot by slot (the last repeats).
const Pattern kDefaultPatterns[] = {Pattern::Card, Pattern::Bars, Pattern::Sweep};

std::string slotsText(uint32_t n) { return std::to_string(n) + (n == 1 ? " input" : " inputs"); }

} // namespace

Stage::Stage(StagePlan plan, std::unique_ptr<Stage> previous, std::string name)
    : plan_(std::move(plan)), name_(std::move(name))
{
    if (previous != nullptr) {
        upstream_.push_back(previous.get());
        inputs_.push_back(std::move(previous));
    }
}

Stage::~Stage() = default;

Status Stage::checkRole() const
{
    const std::string& path = plan_.path;
    const Capabilities& caps = description_.caps;
    const std::size_t given = plan_.inputs.size() + (plan_.role == StageRole::Then ? 1 : 0);
    switch (plan_.role) {
    case StageRole::Input:
        if (description_.type != FF_SOURCE || caps.minInputs > 0)
            return Status::badInput("--input " + path + ": " + printable(description_.name) + " is " +
                                    (description_.type == FF_EFFECT ? "an effect" : "no source") +
                                    "; an input plug-in must be a source (chain effects with --then)");
        return Status();
    case StageRole::Then:
        if (caps.maxInputs == 0)
            return Status::badInput("--then " + path + ": " + printable(description_.name) +
                                    " takes no input (it is a " + pluginTypeName(description_.type) +
                                    "); every plug-in after the first gets the one before it as input 0");
        break;
    case StageRole::First: break;
    }
    if (!plan_.inputs.empty() && caps.maxInputs == 0)
        return Status::badInput("--input " + plan_.inputs.front() + ": " + printable(description_.name) + " (" + path +
                                ") is a " + pluginTypeName(description_.type) + " and takes no input");
    if (given > caps.maxInputs)
        return Status::badInput(path + ": " + printable(description_.name) + " takes at most " +
                                slotsText(caps.maxInputs) + ", and " + std::to_string(given) + " are given");
    if (caps.minInputs > kMaxInputSlots)
        return Status::badInput(path + ": " + printable(description_.name) + " needs " + slotsText(caps.minInputs) +
                                "; this host fills at most " + std::to_string(kMaxInputSlots));
    return Status();
}

Status Stage::openInputs(int width, int height)
{
    for (const std::string& source : plan_.inputs) {
        InputKind kind = InputKind::Pattern;
        Status s = classifyInput(source, kind);
        std::unique_ptr<InputSource> input;
        if (s.ok() && kind == InputKind::Plugin) {
            StagePlan plan;
            plan.role = StageRole::Input;
            plan.path = source;
            const std::string whose = name_.empty() ? printable(description_.name) : name_;
            auto stage = std::make_unique<Stage>(std::move(plan), nullptr,
                                                 "input " + std::to_string(inputs_.size()) + " of " + whose);
            upstream_.push_back(stage.get());
            input = std::move(stage);
        } else if (s.ok()) {
            s = makeInputSource(source, kind, input);
        }
        if (!s.ok())
            return s;
        inputs_.push_back(std::move(input));
    }
    // An effect given fewer inputs than it needs gets patterns in the slots it still needs.
    for (std::size_t slot = inputs_.size(); slot < description_.caps.minInputs; ++slot) {
        const std::size_t last = sizeof kDefaultPatterns / sizeof kDefaultPatterns[0] - 1;
        inputs_.push_back(std::make_unique<PatternInput>(kDefaultPatterns[slot < last ? slot : last]));
    }
    // The stage before a --then stage is open already; the rest open now, in slot order.
    for (std::size_t slot = plan_.role == StageRole::Then ? 1 : 0; slot < inputs_.size(); ++slot) {
        Status s = inputs_[slot]->open(width, height);
        if (!s.ok())
            return s;
    }
    return Status();
}

Status Stage::open(int width, int height)
{
    width_ = width;
    height_ = height;
    Status s = Plugin::open(plan_.path, plugin_);
    if (s.ok())
        s = describe(*plugin_, description_);
    if (s.ok())
        s = checkOpenGL(description_, plan_.path);
    if (s.ok())
        s = checkRole();
    if (s.ok())
        s = resolveSettings(description_, plan_.settings, settings_);
    if (s.ok() && !name_.empty())
        plugin_->nameInFlightRecord(printable(description_.name) + " (" + name_ + ")");
    if (s.ok())
        s = openInputs(width, height);
    if (s.ok())
        instance_ = std::make_unique<PluginInstance>(*plugin_);
    return s;
}

Status Stage::clearFramebuffer()
{
    framebuffer_.bind();
    glClearColor(0.f, 0.f, 0.f, 0.f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    return Status();
}

Status Stage::createInstance()
{
    Status s = clearFramebuffer();
    if (s.ok())
        s = instance_->create(width_, height_);
    for (std::size_t i = 0; s.ok() && i < settings_.size(); ++i)
        s = instance_->setParameter(settings_[i].parameter->index, settings_[i].value);
    return s;
}

Status Stage::startInputs(TextureLayout layout)
{
    for (const std::unique_ptr<InputSource>& input : inputs_) {
        Status s = input->start(layout);
        if (!s.ok())
            return s;
    }
    records_.assign(inputs_.size(), nullptr);
    return Status();
}

Status Stage::start(TextureLayout layout)
{
    std::string error;
    const int hw = hardwareSize(width_, layout), hh = hardwareSize(height_, layout);
    if (!framebuffer_.createTextured(width_, height_, hw, hh, error))
        return Status::failed("cannot create the " + std::to_string(width_) + "x" + std::to_string(height_) +
                              " framebuffer of " + printable(description_.name) + ": " + error);
    output_ = FFGLTextureStructTag{static_cast<uint32_t>(width_), static_cast<uint32_t>(height_),
                                   static_cast<uint32_t>(hw), static_cast<uint32_t>(hh), framebuffer_.colorTexture()};
    Status s = startInputs(layout);
    return s.ok() ? createInstance() : s;
}

Status Stage::startOutput(TextureLayout layout)
{
    std::string error;
    if (!framebuffer_.create(width_, height_, error))
        return Status::failed("cannot create the " + std::to_string(width_) + "x" + std::to_string(height_) +
                              " host framebuffer: " + error);
    Status s = startInputs(layout);
    return s.ok() ? createInstance() : s;
}

Status Stage::renderFrame(int64_t frame)
{
    for (std::size_t slot = 0; slot < inputs_.size(); ++slot) {
        Status s = inputs_[slot]->texture(frame, records_[slot]);
        if (!s.ok())
            return s;
    }
    framebuffer_.bind();
    return finishedFrame(*instance_, framebuffer_.id(), records_.empty() ? nullptr : records_.data(),
                         static_cast<uint32_t>(records_.size()), lastMs_);
}

Status Stage::texture(int64_t frame, FFGLTextureStructTag*& record)
{
    Status s = renderFrame(frame);
    record = &output_;
    return s;
}

Status Stage::restart(const std::vector<ResolvedSetting>* settings)
{
    for (Stage* upstream : upstream_) {
        Status s = upstream->restart(nullptr);
        if (!s.ok())
            return s;
    }
    if (settings != nullptr)
        settings_ = *settings;
    Status s = instance_->destroy();
    return s.ok() ? createInstance() : s;
}

Status Stage::resize(int width, int height)
{
    std::string error;
    if (!framebuffer_.create(width, height, error))
        return Status::failed("cannot create the " + std::to_string(width) + "x" + std::to_string(height) +
                              " host framebuffer: " + error);
    Status s = clearFramebuffer();
    return s.ok() ? instance_->resize(width, height) : s;
}

Status Stage::finish()
{
    Status s = instance_ != nullptr ? instance_->destroy() : Status();
    for (std::size_t i = 0; s.ok() && i < upstream_.size(); ++i)
        s = upstream_[i]->finish();
    return s;
}

Status Stage::deInitialise()
{
    Status s = plugin_ != nullptr ? plugin_->deInitialise() : Status();
    for (std::size_t i = 0; s.ok() && i < upstream_.size(); ++i)
        s = upstream_[i]->deInitialise();
    return s;
}

void Stage::stop()
{
    if (instance_ != nullptr)
        (void)instance_->destroy();
    framebuffer_.release();
    for (const std::unique_ptr<InputSource>& input : inputs_)
        input->stop();
}

void Stage::collectStages(std::vector<Stage*>& out)
{
    for (Stage* upstream : upstream_)
        upstream->collectStages(out);
    out.push_back(this);
}

} // namespace ffglhost
