// The run report's script: reads the run's data from the page and draws it with uPlot. Every chart
// shares one time axis and one zoom; the recording's position is a cursor on every chart, and a
// click on a chart moves the recording there. The page puts page_frame.js, page_tables.js,
// page_charts.js and page_sound.js before this file, all inside one function.
const page = createPage(JSON.parse(document.getElementById('run-data').textContent));
drawSummary(page);
drawComparisonTable(page);
drawExpectationTable(page);
drawTimeline(page);
drawTraceCharts(page);
drawHeatMap(page);
drawLayerDifference(page);
drawElements(page);
page.finish();
