import pandas as pd
import pytest

import fclib.dask as fd
import fclib.pandas as fp
from test_evaluate import orders

dd = pytest.importorskip("dask.dataframe")
distributed = pytest.importorskip("distributed")


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, processes=True, threads_per_worker=2,
                                  dashboard_address=None) as cluster, distributed.Client(cluster) as client:
        yield client


@pytest.mark.parametrize("formulas, group_by", [
    ({"Amount": "[Qty] * [Price] / 7", "Who": "LEFT([Customer], 4)"}, None),
    ({"Amount": "[Qty] * [Price]", "Total": "SUM(Amount)", "Orders": "COUNT([OrderNo])"}, "Category"),
    ({"No": "PAGE()", "Top": "MAX([Price])"}, "Category"),
    ({"Total": "SUM([Qty])"}, None),
])
@pytest.mark.parametrize("partitions", [1, 3, 7])
def test_dask_gives_the_single_process_result(client, formulas, group_by, partitions):
    df = pd.concat([orders()] * 3, ignore_index=True).sample(frac=1, random_state=partitions)
    got = fd.evaluate(dd.from_pandas(df, npartitions=partitions, sort=False), formulas, group_by=group_by)
    result = got.compute()
    pd.testing.assert_frame_equal(result, fp.evaluate(df, formulas, group_by=group_by))
