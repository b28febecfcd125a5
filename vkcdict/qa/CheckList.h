// The checks of vkcdict qa, one line each: ID, on by default, the one-line
// description of --list-checks (marked N_() for the catalogue, kept in
// English in the table), and the factory that the check's own file
// defines. The order is the order of --list-checks and of the summary.
// (Included by Registry.cpp with VKC_QA_CHECK defined; no include guard.)
// clang-format off
VKC_QA_CHECK("unchanged", true, N_("the translation equals the ENG text, which holds letters"), MakeUnchangedCheck)
VKC_QA_CHECK("codes", true, N_("control codes and placeholders not carried over as often as in the ENG text"), MakeCodesCheck)
VKC_QA_CHECK("numbers", true, N_("digit runs of the ENG text missing from the translation"), MakeNumbersCheck)
VKC_QA_CHECK("length", true, N_("translation over --max-bytes, --max-ratio or the remark's max=N"), MakeLengthCheck)
VKC_QA_CHECK("glossary", true, N_("a glossary term of the ENG text without its translation"), MakeGlossaryCheck)
VKC_QA_CHECK("inconsistent", true, N_("the same ENG text translated differently"), MakeInconsistentCheck)
VKC_QA_CHECK("reused", false, N_("one translation for different ENG texts (only with --check)"), MakeReusedCheck)
VKC_QA_CHECK("spaces", true, N_("blanks at the ends, doubled, or between Chinese characters"), MakeSpacesCheck)
VKC_QA_CHECK("line-breaks", true, N_("line breaks at the start or end unlike the ENG text's, or of another kind (CR LF, LF, CR)"), MakeLineBreaksCheck)
VKC_QA_CHECK("line-count", true, N_("a different number of line breaks inside the texts (skip it where lines are re-wrapped)"), MakeLineCountCheck)
VKC_QA_CHECK("punctuation", true, N_("one text ends in a sentence mark and the other does not"), MakePunctuationCheck)
VKC_QA_CHECK("punctuation-width", true, N_("ASCII , . ? ! : ; right after a Chinese character"), MakePunctuationWidthCheck)
VKC_QA_CHECK("delimiters", true, N_("a script delimiter [ ] \" in the translation that the ENG text lacks"), MakeDelimitersCheck)
VKC_QA_CHECK("encoding", true, N_("control bytes or user-defined GBK characters in the translation"), MakeEncodingCheck)
