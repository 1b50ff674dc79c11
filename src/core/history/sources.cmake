# The history: every echo in History.db (SQLite), its minute and hour
# summaries, and the reader the window, the report and the export use.
find_package(SQLite3 REQUIRED)
target_sources(linkvigil_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/BucketBuilder.cpp ${CMAKE_CURRENT_LIST_DIR}/BucketBuilder.h
    ${CMAKE_CURRENT_LIST_DIR}/BucketRun.h
    ${CMAKE_CURRENT_LIST_DIR}/EchoCodec.cpp ${CMAKE_CURRENT_LIST_DIR}/EchoCodec.h
    ${CMAKE_CURRENT_LIST_DIR}/EchoSummary.cpp ${CMAKE_CURRENT_LIST_DIR}/EchoSummary.h
    ${CMAKE_CURRENT_LIST_DIR}/HistoryExport.cpp ${CMAKE_CURRENT_LIST_DIR}/HistoryExport.h
    ${CMAKE_CURRENT_LIST_DIR}/HistoryFeed.cpp ${CMAKE_CURRENT_LIST_DIR}/HistoryFeed.h
    ${CMAKE_CURRENT_LIST_DIR}/HopSeries.h
    ${CMAKE_CURRENT_LIST_DIR}/HistoryFile.cpp ${CMAKE_CURRENT_LIST_DIR}/HistoryFile.h
    ${CMAKE_CURRENT_LIST_DIR}/HistoryShelf.cpp ${CMAKE_CURRENT_LIST_DIR}/HistoryShelf.h
    ${CMAKE_CURRENT_LIST_DIR}/HistoryPruner.cpp ${CMAKE_CURRENT_LIST_DIR}/HistoryPruner.h
    ${CMAKE_CURRENT_LIST_DIR}/HistoryReader.cpp ${CMAKE_CURRENT_LIST_DIR}/HistoryReader.h
    ${CMAKE_CURRENT_LIST_DIR}/HistorySchema.cpp ${CMAKE_CURRENT_LIST_DIR}/HistorySchema.h
    ${CMAKE_CURRENT_LIST_DIR}/HistorySource.h
    ${CMAKE_CURRENT_LIST_DIR}/HistoryOptions.h
    ${CMAKE_CURRENT_LIST_DIR}/HistoryStore.cpp ${CMAKE_CURRENT_LIST_DIR}/HistoryStore.h
    ${CMAKE_CURRENT_LIST_DIR}/JournalAdopter.cpp ${CMAKE_CURRENT_LIST_DIR}/JournalAdopter.h
    ${CMAKE_CURRENT_LIST_DIR}/JournalBlob.cpp ${CMAKE_CURRENT_LIST_DIR}/JournalBlob.h
    ${CMAKE_CURRENT_LIST_DIR}/RttHistogram.cpp ${CMAKE_CURRENT_LIST_DIR}/RttHistogram.h
    ${CMAKE_CURRENT_LIST_DIR}/SlotBuffer.cpp ${CMAKE_CURRENT_LIST_DIR}/SlotBuffer.h
    ${CMAKE_CURRENT_LIST_DIR}/SlotWriter.cpp ${CMAKE_CURRENT_LIST_DIR}/SlotWriter.h
    ${CMAKE_CURRENT_LIST_DIR}/SqliteDb.cpp ${CMAKE_CURRENT_LIST_DIR}/SqliteDb.h
    ${CMAKE_CURRENT_LIST_DIR}/SqliteStatement.cpp ${CMAKE_CURRENT_LIST_DIR}/SqliteStatement.h
    ${CMAKE_CURRENT_LIST_DIR}/StoredEcho.cpp ${CMAKE_CURRENT_LIST_DIR}/StoredEcho.h
    ${CMAKE_CURRENT_LIST_DIR}/Varint.h
    ${CMAKE_CURRENT_LIST_DIR}/HistoryWriter.cpp ${CMAKE_CURRENT_LIST_DIR}/HistoryWriter_Commit.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HistoryWriter.h
    ${CMAKE_CURRENT_LIST_DIR}/WriterIdentity.cpp ${CMAKE_CURRENT_LIST_DIR}/WriterIdentity.h
)
target_link_libraries(linkvigil_core PRIVATE SQLite::SQLite3)
