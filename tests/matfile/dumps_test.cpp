// Emergency and temporary dumps of one model: the five files and their exact
// contents, the messages for objects that are not loaded, the replacement of
// earlier temporary files, and the end of the process after an emergency
// dump (status 1, its lines on standard error, the report complete).
#include "matfile/dumps.h"

#include <gtest/gtest.h>

#include <string>

#include "numeric/nrerror.h"
#include "session.h"
#include "testutil.h"

namespace {

// Three runs in two inputs a and b, one response f; without correlation
// parameters unless `corpar`.
void load_model(Session &s, bool corpar)
{
    write_file("x.mat", matrix_text("design", {"a", "b"}, {{"0.1", "0.2"}, {"0.3", "0.4"}, {"0.5", "0.6"}}));
    write_file("y.mat", matrix_text("responses", {"f"}, {{"1.5"}, {"-2.25"}, {"3"}}));
    write_file("beta.mat", matrix_text("mean", {"Variable", "Term", "Coefficients"}, {{"f", "1", "2"}}));
    write_file("ydescrip.mat", matrix_text("variance", {"Variable", "StochasticProcessVariance"}, {{"f", "0.5"}}));
    write_file("corpar.mat", matrix_text("parameters", {"Variable", "Theta.f", "Alpha.f"},
                                         {{"a", "1.25", "0.5"}, {"b", "3", "0"}}));
    s.read("X", "x.mat");
    s.read("y", "y.mat");
    s.read("RegressionModel", "beta.mat");
    s.read("YDescription", "ydescrip.mat");
    if (corpar)
        s.read("StochasticProcessModel", "corpar.mat");
    s.report();
}

const std::string kX = "Version 1.304 \n"
                       "X Matrix \n"
                       "\n"
                       "------------------------------\n"
                       " Case           a           b \n"
                       "------------------------------\n"
                       "    1     0.10000     0.20000  \n"
                       "    2     0.30000     0.40000  \n"
                       "    3     0.50000     0.60000  \n";
const std::string kY = "Version 1.304 \n"
                       "y Matrix \n"
                       "-------\n"
                       " Case f \n"
                       "-------\n"
                       "   1      1.50000 \n"
                       "   2     -2.25000 \n"
                       "   3      3.00000 \n";
const std::string kBeta = "Version 1.304 \n"
                          "RegressionModel \n"
                          "--------------------------------------------\n"
                          " Case    Variable        Term  Coefficients \n"
                          "--------------------------------------------\n"
                          "    1           f           1      2.000000  \n";
const std::string kCorpar = "Version 1.304 \n"
                            "CorrelationParameters \n"
                            "------------------------------------------\n"
                            " Case    Variable     Theta.f     Alpha.f \n"
                            "------------------------------------------\n"
                            "    1           a    1.250000    0.500000  \n"
                            "    2           b    3.000000    0.000000  \n";
const std::string kYdescrip = "Version 1.304 \n"
                              "YDescription \n"
                              "---------------------------------------------------------\n"
                              " Case    Variable  StochasticProcessVariance   NumberObs \n"
                              "---------------------------------------------------------\n"
                              "    1           f                   0.500000           3  \n";

const std::string kTempInfo =
    "Info : Output of matrices in temp files: \n\tX,y,RegressionModel,StochasticProcessModel,yDescription\n";
const std::string kNoCorpar = "Sorry, can't do that. theta is not initialized.\n"
                              "Sorry, can't do that. alpha is not initialized.\n";

// The five files of the model of load_model, written with the given prefix.
void expect_model_files(const std::string &prefix)
{
    EXPECT_EQ(read_file(prefix + "_x.mat"), kX);
    EXPECT_EQ(read_file(prefix + "_y.mat"), kY);
    EXPECT_EQ(read_file(prefix + "_beta.mat"), kBeta);
    EXPECT_EQ(read_file(prefix + "_corpar.mat"), kCorpar);
    EXPECT_EQ(read_file(prefix + "_ydescrip.mat"), kYdescrip);
}

TEST(OutputTemp, WritesTheFiveObjectsOfTheModel)
{
    Session s;
    load_model(s, true);
    output_temp(&s.kr[0]);
    EXPECT_EQ(s.report(), kTempInfo +
                              "Writing to file temp_x.mat.\n"
                              "Writing to file temp_beta.mat.\n"
                              "Writing to file temp_corpar.mat.\n"
                              "Writing to file temp_ydescrip.mat.\n");
    expect_model_files("temp");
}

TEST(OutputTemp, SkipsParametersNotYetEstimated)
{
    Session s;
    load_model(s, false);
    output_temp(&s.kr[0]);
    EXPECT_EQ(s.report(), kTempInfo +
                              "Writing to file temp_x.mat.\n"
                              "Writing to file temp_beta.mat.\n" +
                              kNoCorpar + "Writing to file temp_ydescrip.mat.\n");
    EXPECT_EQ(read_file("temp_x.mat"), kX);
    EXPECT_EQ(read_file("temp_y.mat"), kY);
    EXPECT_FALSE(file_exists("temp_corpar.mat"));
}

TEST(OutputTemp, NothingLoadedWritesNoFile)
{
    Session s;
    output_temp(&s.kr[0]);
    EXPECT_EQ(s.report(), kTempInfo +
                              "Sorry, can't do that. X is not initialized.\n"
                              "Sorry, can't do that. y is not initialized.\n"
                              "Sorry, can't do that. X is not initialized.\n"
                              "Sorry, there are no RegressionCoefficients.\n" +
                              kNoCorpar + "Sorry, there are no response variables.\n");
    for (const char *file : {"temp_x.mat", "temp_y.mat", "temp_beta.mat", "temp_corpar.mat", "temp_ydescrip.mat"})
        EXPECT_FALSE(file_exists(file)) << file;
}

TEST(OutputTemp, SecondDumpReplacesTheFirst)
{
    Session s;
    load_model(s, true);
    output_temp(&s.kr[0]);
    // New responses and a new mean, then the second dump.
    write_file("y2.mat", matrix_text("responses", {"f"}, {{"7"}, {"8"}, {"9"}}));
    write_file("beta2.mat", matrix_text("mean", {"Variable", "Term", "Coefficients"}, {{"f", "1", "8.5"}}));
    s.read("y", "y2.mat");
    s.read("RegressionModel", "beta2.mat");
    s.report();
    output_temp(&s.kr[0]);
    EXPECT_EQ(read_file("temp_y.mat"), "Version 1.304 \n"
                                       "y Matrix \n"
                                       "-------\n"
                                       " Case f \n"
                                       "-------\n"
                                       "   1      7.00000 \n"
                                       "   2      8.00000 \n"
                                       "   3      9.00000 \n");
    std::string beta = kBeta;
    beta.replace(beta.find("2.000000"), 8, "8.500000");
    EXPECT_EQ(read_file("temp_beta.mat"), beta);
    EXPECT_EQ(read_file("temp_x.mat"), kX);
    EXPECT_EQ(read_file("temp_corpar.mat"), kCorpar);
    EXPECT_EQ(read_file("temp_ydescrip.mat"), kYdescrip);
}

// The emergency dump, in a child process: the report goes to a file so that
// it can be read after the child has ended.
void dump_and_exit(KrigModel *kr)
{
    ofp = fopen("report.txt", "w");
    output_error(kr, "the reason");
}

const std::string kErrorLines = "Brix's runtime errors ... \n"
                                "the reason \n"
                                "Emergency output of X,y,RegressionModel,StochasticProcessModeland yDescription\n"
                                "Now exiting to system ... \n ";

TEST(OutputError, DumpsTheModelAndEndsWithStatusOne)
{
    Session s;
    load_model(s, true);
    EXPECT_EXIT(dump_and_exit(&s.kr[0]), ::testing::ExitedWithCode(1), ::testing::StrEq(kErrorLines));
    EXPECT_EQ(read_file("report.txt"), "Writing to file error_x.mat.\n"
                                       "Writing to file error_beta.mat.\n"
                                       "Writing to file error_corpar.mat.\n"
                                       "Writing to file error_ydescrip.mat.\n");
    expect_model_files("error");
}

TEST(OutputError, ModelWithoutResponsesStillEndsTheRun)
{
    Session s;
    write_file("x.mat", matrix_text("design", {"a", "b"}, {{"0.1", "0.2"}, {"0.3", "0.4"}, {"0.5", "0.6"}}));
    s.read("X", "x.mat");
    s.report();
    EXPECT_EXIT(dump_and_exit(&s.kr[0]), ::testing::ExitedWithCode(1), ::testing::StrEq(kErrorLines));
    EXPECT_EQ(read_file("report.txt"), "Writing to file error_x.mat.\n"
                                       "Sorry, can't do that. y is not initialized.\n"
                                       "Sorry, there are no RegressionCoefficients.\n" +
                                           kNoCorpar + "Sorry, there are no response variables.\n");
    EXPECT_EQ(read_file("error_x.mat"), kX);
    for (const char *file : {"error_y.mat", "error_beta.mat", "error_corpar.mat", "error_ydescrip.mat"})
        EXPECT_FALSE(file_exists(file)) << file;
}

// With several y-variables only the model given is dumped, as a response set
// of one.
TEST(OutputTemp, OneModelOfSeveral)
{
    Session s;
    write_file("x.mat", matrix_text("design", {"a", "b"}, {{"0.1", "0.2"}, {"0.3", "0.4"}, {"0.5", "0.6"}}));
    write_file("y.mat", matrix_text("responses", {"e", "f"}, {{"0", "1.5"}, {"0", "-2.25"}, {"0", "3"}}));
    write_file("beta.mat", matrix_text("mean", {"Variable", "Term", "Coefficients"}, {{"e", "1", "0"}, {"f", "1", "2"}}));
    write_file("ydescrip.mat", matrix_text("variance", {"Variable", "StochasticProcessVariance"},
                                           {{"e", "9"}, {"f", "0.5"}}));
    write_file("corpar.mat", matrix_text("parameters", {"Variable", "Theta.e", "Alpha.e", "Theta.f", "Alpha.f"},
                                         {{"a", "9", "1.9", "1.25", "0.5"}, {"b", "9", "1.9", "3", "0"}}));
    s.read("X", "x.mat");
    s.read("y", "y.mat");
    s.read("RegressionModel", "beta.mat");
    s.read("YDescription", "ydescrip.mat");
    s.read("StochasticProcessModel", "corpar.mat");
    s.report();
    output_temp(&s.kr[1]);
    expect_model_files("temp");
}

} // namespace
