// Each knob changes what the client sees on the wire as described.
#include <gtest/gtest.h>

#include <numeric>

#include "sim_test_client.h"

namespace {
using namespace simtest;
using namespace std::chrono_literals;

class SimKnobs : public ::testing::Test, public SimFixtureBase {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(StartSim()) << sim().LastError();
        bytes_ = qbxsim::PatternBytes(40, 9);
        rel_ = qbxsim::AddImage(root(), "1234", "003", "20240101120000", bytes_);
        answer_ = UploadAnswer(rel_, bytes_);
    }
    void Set(const qbxsim::Knobs& k) { sim().SetKnobs(k); }

    std::string bytes_, rel_, answer_;
};

TEST_F(SimKnobs, PiecesArriveAsSeparateReads)
{
    qbxsim::Knobs k;
    // Cut inside the header, then inside the data.
    k.pieces = {5, 70};
    k.piece_pause_ms = 300;
    Set(k);
    Client c(port());
    ASSERT_TRUE(c.Send(UploadJob(rel_)));
    EXPECT_EQ(c.ReadBytes(answer_.size()), answer_);
    ASSERT_EQ(c.chunks().size(), 3u);
    EXPECT_EQ(c.chunks()[0], answer_.substr(0, 5));
    EXPECT_EQ(c.chunks()[1], answer_.substr(5, 70));
}

TEST_F(SimKnobs, TrickleSendsTheAnswerInSmallSteps)
{
    qbxsim::Knobs k;
    k.trickle_bytes = 7;
    k.trickle_interval_ms = 40;
    Set(k);
    Client c(port());
    ASSERT_TRUE(c.Send(UploadJob(rel_)));
    EXPECT_EQ(c.ReadBytes(answer_.size()), answer_);
    // Steps may merge if this side is slow; most of them must show.
    EXPECT_GE(c.chunks().size(), answer_.size() / 7 / 3);
}

TEST_F(SimKnobs, DropAfterGivesExactlyThatManyBytesThenEof)
{
    qbxsim::Knobs k;
    k.drop_after = 25;
    Set(k);
    Client c(port());
    ASSERT_TRUE(c.Send(UploadJob(rel_)));
    EXPECT_EQ(c.ReadToEof(), answer_.substr(0, 25));
    EXPECT_TRUE(c.eof());
    EXPECT_EQ(c.last_errno(), 0);

    k.drop_after = 0;  // closes on receipt of the job
    Set(k);
    Client d(port());
    ASSERT_TRUE(d.Send(ListingJob("1234")));
    EXPECT_EQ(d.ReadToEof(), "");
    EXPECT_TRUE(d.eof());
}

TEST_F(SimKnobs, DropWithResetEndsInConnectionReset)
{
    qbxsim::Knobs k;
    k.drop_after = 25;
    k.reset_on_drop = true;
    Set(k);
    Client c(port());
    ASSERT_TRUE(c.Send(UploadJob(rel_)));
    std::string got = c.ReadToEof();
    EXPECT_EQ(got, answer_.substr(0, got.size()));
    EXPECT_LE(got.size(), 25u);
    EXPECT_EQ(c.last_errno(), ECONNRESET);
}

TEST_F(SimKnobs, ExtraBytesGoBeforeAndAfterEachAnswer)
{
    qbxsim::Knobs k;
    k.extra_before = "@PJL USTATUS DEVICE\r\nCODE=10001\r\n\f";
    k.extra_after = "\r\n\f junk";
    Set(k);
    Client c(port());
    ASSERT_TRUE(c.Send(UploadJob(rel_) + ListingJob("nobody")));
    c.ShutdownWrite();
    EXPECT_EQ(c.ReadToEof(), k.extra_before + answer_ + k.extra_after + k.extra_before + "***" + k.extra_after);
}

TEST_F(SimKnobs, SilentPrinterTakesJobsButSendsNothing)
{
    qbxsim::Knobs k;
    k.silent = true;
    Set(k);
    Client c(port());
    ASSERT_TRUE(c.Send(UploadJob(rel_)));
    ASSERT_TRUE(sim().WaitForJobs(1, 10s));
    std::string chunk;
    EXPECT_FALSE(c.ReadOnce(chunk, 500ms));

    Set(qbxsim::Knobs{});  // the next job on the same connection is answered
    ASSERT_TRUE(c.Send(UploadJob(rel_)));
    EXPECT_EQ(c.ReadBytes(answer_.size()), answer_);
    EXPECT_EQ(sim().Jobs().size(), 2u);
}

TEST_F(SimKnobs, AnswerDelayHoldsTheAnswerBack)
{
    qbxsim::Knobs k;
    k.answer_delay_ms = 1500;
    Set(k);
    Client c(port());
    ASSERT_TRUE(c.Send(UploadJob(rel_)));
    std::string chunk;
    EXPECT_FALSE(c.ReadOnce(chunk, 300ms));
    EXPECT_EQ(c.ReadBytes(answer_.size()), answer_);
}

TEST_F(SimKnobs, KnobsCanBeLimitedToOneKindOfAnswer)
{
    qbxsim::Knobs k;
    k.silent = true;
    k.apply_to = qbxsim::ApplyTo::UploadAnswers;
    Set(k);
    Client c(port());
    ASSERT_TRUE(c.Send(UploadJob(rel_) + ListingJob("nobody")));
    EXPECT_EQ(c.ReadListing(), "***");

    k.silent = false;
    k.extra_before = "X";
    k.apply_to = qbxsim::ApplyTo::PostScriptAnswers;
    Set(k);
    ASSERT_TRUE(c.Send(UploadJob(rel_) + ListingJob("nobody")));
    EXPECT_EQ(c.ReadListing(), answer_ + "X***");
}

TEST_F(SimKnobs, RefusedConnectionsAndListeningAgain)
{
    qbxsim::Knobs k;
    k.refuse = true;
    Set(k);
    const auto p = port();
    ASSERT_NE(p, 0);
    {
        Client c(p);
        EXPECT_FALSE(c.ok());
        EXPECT_EQ(c.error(), ECONNREFUSED);
    }
    Set(qbxsim::Knobs{});
    {
        Client c(p);
        ASSERT_TRUE(c.ok());
        ASSERT_TRUE(c.Send(UploadJob(rel_)));
        EXPECT_EQ(c.ReadBytes(answer_.size()), answer_);
    }
    Set(k);
    Client c(p);
    EXPECT_EQ(c.error(), ECONNREFUSED);
    EXPECT_EQ(sim().ConnectionsAccepted(), 1);
}

TEST(SimKnobsAtStart, RefusingFromTheStartStillReportsThePort)
{
    qbxsim::Knobs k;
    k.refuse = true;
    SimFixtureBase f(k);
    ASSERT_TRUE(f.StartSim());
    ASSERT_NE(f.port(), 0);
    Client c(f.port());
    EXPECT_EQ(c.error(), ECONNREFUSED);
    f.sim().SetKnobs(qbxsim::Knobs{});
    Client d(f.port());
    EXPECT_TRUE(d.ok());
}

TEST_F(SimKnobs, AcceptDelayLeavesTheConnectionPending)
{
    qbxsim::Knobs k;
    k.accept_delay_ms = 1500;
    Set(k);
    Client c(port());
    ASSERT_TRUE(c.ok());  // the kernel completes the handshake
    ASSERT_TRUE(c.Send(UploadJob(rel_)));
    EXPECT_EQ(sim().ConnectionsAccepted(), 0);
    EXPECT_EQ(c.ReadBytes(answer_.size()), answer_);
    EXPECT_EQ(sim().ConnectionsAccepted(), 1);
}

TEST_F(SimKnobs, ConnectionCapMakesLaterClientsWait)
{
    qbxsim::Knobs k;
    k.max_connections = 1;
    Set(k);
    auto first = std::make_unique<Client>(port());
    ASSERT_TRUE(first->Send(UploadJob(rel_)));
    EXPECT_EQ(first->ReadBytes(answer_.size()), answer_);

    Client second(port());
    ASSERT_TRUE(second.Send(UploadJob(rel_)));
    std::string chunk;
    EXPECT_FALSE(second.ReadOnce(chunk, 500ms));
    EXPECT_EQ(sim().ConnectionsAccepted(), 1);

    first.reset();  // frees the slot
    EXPECT_EQ(second.ReadBytes(answer_.size()), answer_);
    EXPECT_EQ(sim().ConnectionsAccepted(), 2);
}

TEST_F(SimKnobs, CloseAfterJobAnswersOneJobPerConnection)
{
    qbxsim::Knobs k;
    k.close_after_job = true;
    Set(k);
    Client c(port());
    ASSERT_TRUE(c.Send(UploadJob(rel_) + ListingJob("1234")));
    EXPECT_EQ(c.ReadToEof(), answer_);
    EXPECT_TRUE(c.eof());
    ASSERT_TRUE(sim().WaitForJobs(2, 10s));
    auto jobs = sim().Jobs();
    EXPECT_TRUE(jobs[0].complete);
    EXPECT_EQ(jobs[1].bytes, ListingJob("1234"));  // received, never acted on
    EXPECT_FALSE(jobs[1].complete);
}

TEST_F(SimKnobs, UploadAnsweredWithAnotherFile)
{
    const std::string other = qbxsim::PatternBytes(40, 10);
    const std::string otherRel = qbxsim::AddImage(root(), "1234", "004", "20240101120000", other);
    qbxsim::Knobs k;
    k.upload_other_file = otherRel;
    Set(k);
    Client c(port());
    ASSERT_TRUE(c.Send(UploadJob(rel_)));
    EXPECT_EQ(c.ReadBytes(UploadAnswer(otherRel, other).size()), UploadAnswer(otherRel, other));
}

}  // namespace
